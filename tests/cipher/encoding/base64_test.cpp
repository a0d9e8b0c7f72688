#include "test_support.h"

namespace cipher {
namespace {

using test::decodeToText;
using test::nameOf;

// RFC 4648, section 10. Strict decoding, and skipping what is outside the alphabet, are the base64 fuzzer's
// property against a plain decoder.
TEST(Base64, MatchesRfc4648Vectors) {
    // The encodings of the prefixes of "foobar", from the empty one up.
    const std::string encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (std::size_t size = 0; size < std::size(encoded); ++size) {
        const std::string plain = std::string("foobar").substr(0, size);
        EXPECT_EQ(base64Encode(asBytes(plain)), encoded[size]);
        EXPECT_EQ(decodeToText(encoded[size]), plain) << encoded[size];
    }
}

// Each of the 256 byte values at each place of a 32-character block, where the vector code checks the alphabet:
// every instruction set decodes or refuses it as the scalar code does. Other layouts and damage anywhere are the
// base64 fuzzer's property.
TEST(Base64Decode, EveryInstructionSetChecksTheAlphabetLikeTheScalarCode) {
    const std::string block = base64Encode(Bytes(48, 0x5A), Isa::scalar).substr(0, 32) + "AAAA";
    for (const Isa isa : availableIsas()) {
        for (std::size_t place = 0; place < 32; ++place) {
            for (unsigned value = 0; value < 256; ++value) {
                std::string text = block;
                text[place] = static_cast<char>(value);
                ASSERT_EQ(decodeToText(text, isa), decodeToText(text, Isa::scalar)) << nameOf(isa) << " " << value;
            }
        }
    }
}

} // namespace
} // namespace cipher
