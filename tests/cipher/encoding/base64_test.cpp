#include "test_support.h"

#include <numeric>

namespace cipher {
namespace {

using test::decodeToText;
using test::nameOf;
using test::randomBytes;
using test::vectorIsas;

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

// Whole and in pieces of whole lines, small and around the 48 KiB pieces a note is encoded in, every instruction set
// gives what the scalar code gives; its 64-character lines are the base64 fuzzer's property.
TEST(Base64Encode, EveryInstructionSetEncodesAsTheScalarCodeWholeAndInPieces) {
    std::mt19937 random(7);
    std::vector<std::size_t> sizes(301);
    std::iota(sizes.begin(), sizes.end(), 0);
    for (const std::size_t kib : {47U, 48U, 49U}) {
        for (const std::size_t delta : {0U, 1U, 2U, 3U, 16U}) {
            sizes.push_back(kib * 1024 - delta);
            sizes.push_back(kib * 1024 + delta);
        }
    }
    for (const std::size_t size : sizes) {
        const Bytes bytes = randomBytes(random, size);
        const std::string text = base64Encode(bytes, Isa::scalar);
        for (const Isa isa : vectorIsas()) {
            ASSERT_EQ(base64Encode(bytes, isa), text) << nameOf(isa) << " " << size;
        }
    }
    const Bytes bytes = randomBytes(random, 3 * 49 * 1024 + 5);
    const std::string whole = base64Encode(bytes, Isa::scalar);
    for (const Isa isa : availableIsas()) {
        for (const std::size_t piece : {48U, 47U * 1024 + 16, 48U * 1024, 49U * 1024 + 32}) {
            std::string text(whole.size(), '\0');
            char* out = text.data();
            std::size_t pos = 0;
            for (; bytes.size() - pos > piece; pos += piece) {
                out = base64EncodePiece(ByteView(bytes).subspan(pos, piece), false, out, isa);
            }
            out = base64EncodePiece(ByteView(bytes).subspan(pos), true, out, isa);
            EXPECT_EQ(out, text.data() + text.size()) << nameOf(isa) << " " << piece;
            EXPECT_EQ(text, whole) << nameOf(isa) << " " << piece;
        }
    }
}

// Each of the 256 byte values at each place of a 32-character block, where the vector code checks the alphabet:
// every instruction set decodes or refuses it as the scalar code does. Other layouts and damage anywhere are the
// base64 fuzzer's property.
TEST(Base64Decode, EveryInstructionSetChecksTheAlphabetLikeTheScalarCode) {
    const std::string block = base64Encode(Bytes(48, 0x5A), Isa::scalar).substr(0, 32) + "AAAA";
    for (const Isa isa : vectorIsas()) {
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
