#include "test_support.h"

namespace cipher {
namespace {

// RFC 4648, section 10. Strict decoding, skipping what is outside the alphabet, and every instruction set agreeing
// with a plain decoder whole and in pieces, are the base64 fuzzer's property.
TEST(Base64, MatchesRfc4648Vectors) {
    // The encodings of the prefixes of "foobar", from the empty one up.
    const std::string encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (std::size_t size = 0; size < std::size(encoded); ++size) {
        const std::string plain = std::string("foobar").substr(0, size);
        EXPECT_EQ(base64Encode(asBytes(plain)), encoded[size]);
        EXPECT_EQ(asText(base64ToByteArray(encoded[size]).value()), plain) << encoded[size];
    }
}

} // namespace
} // namespace cipher
