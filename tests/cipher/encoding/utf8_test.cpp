#include "cipher/encoding/utf8.h"
#include "test_support.h"

namespace cipher {
namespace {

using test::fromHex;
using test::nameOf;
using test::vectorIsas;

TEST(ConvertUInt8ToUTF, StopsAtTheFirstIllFormedSequence) {
    // Bytes in hex, and how many of them form the well-formed prefix.
    const std::pair<std::string, std::size_t> cases[] = {
        {"", 0},
        {"41ff42", 1},
        {"41e381", 1},                              // cut short by the end
        {"e38141", 0},                              // continuation missing
        {"c080", 0},                                // overlong
        {"c1bf", 0},                                // overlong
        {"e09fbf", 0},                              // overlong three-byte form
        {"f08fbfbf", 0},                            // overlong four-byte form
        {"eda080", 0},                              // surrogate
        {"f4908080", 0},                            // above U+10FFFF
        {"f5808080", 0},                            // lead byte never used
        {"80", 0},                                  // lone continuation
        {"f09f9880", 4},                            // U+1F600
        {"ed9fbfee8080", 6},                        // either side of the surrogates
        {"f48fbfbf", 4},                            // U+10FFFF
        {"410042", 3},                              // NUL is a character
        {"efbbbf41", 4},                            // the byte-order mark stays
        {"4142434445464748494ac3a978797aff41", 15}, // past the eight-byte ASCII fast path
    };
    for (const auto& [hex, prefix] : cases) {
        const std::string bytes = fromHex(hex);
        EXPECT_EQ(convertUInt8ToUTF(asBytes(bytes)), bytes.substr(0, prefix)) << hex;
        EXPECT_EQ(isWellFormedUtf8(bytes), prefix == bytes.size()) << hex;
        // Given in three pieces cut anywhere, a stream check agrees; it says no once more than a cut sequence is
        // left after the prefix.
        for (std::size_t first = 0; first <= bytes.size(); ++first) {
            for (std::size_t second = first; second <= bytes.size(); ++second) {
                Utf8Checker checker;
                bool fed = true;
                for (const auto& [from, to] :
                     {std::pair{std::size_t{0}, first}, {first, second}, {second, bytes.size()}}) {
                    fed = checker.feed(asBytes(std::string_view(bytes).substr(from, to - from))) && fed;
                }
                EXPECT_EQ(fed && checker.finish(), prefix == bytes.size()) << hex << " " << first << " " << second;
                if (bytes.size() - prefix > 3) {
                    EXPECT_FALSE(fed) << hex << " " << first << " " << second;
                }
            }
        }
    }
}

// Every two-byte start, and three- and four-byte ones with telling later bytes, in a 128-byte ASCII buffer across
// the first 64-byte block boundary, inside the second block and cut off by the end: the first error is found as
// the scalar code finds it.
TEST(Utf8Simd, FindsTheSameFirstErrorForEveryShortSequence) {
    std::vector<std::string> sequences;
    for (unsigned a = 0x80; a < 0x100; ++a) {
        for (unsigned b = 0; b < 0x100; ++b) {
            const std::string ab{static_cast<char>(a), static_cast<char>(b)};
            sequences.push_back(ab);
            for (const unsigned c : {0x00U, 0x7FU, 0x80U, 0x8FU, 0x90U, 0x9FU, 0xA0U, 0xBFU, 0xC0U, 0xFFU}) {
                if (a >= 0xE0) {
                    sequences.push_back(ab + static_cast<char>(c));
                }
                if (a >= 0xF0) {
                    sequences.push_back(ab + static_cast<char>(c) + '\x80');
                    sequences.push_back(ab + static_cast<char>(c) + 'a');
                }
            }
        }
    }
    const auto prefix = [](const std::string& sequence, std::size_t place, Isa isa) {
        std::string buffer(128, 'a');
        buffer.replace(place, sequence.size(), sequence);
        return wellFormedUtf8PrefixLength(asBytes(buffer), isa);
    };
    for (const Isa isa : vectorIsas()) {
        for (const std::string& sequence : sequences) {
            for (const std::size_t place : {0U, 30U, 61U, 62U, 63U, 64U, 100U, 124U, 125U, 126U, 127U}) {
                if (place + sequence.size() <= 128) {
                    ASSERT_EQ(prefix(sequence, place, isa), prefix(sequence, place, Isa::scalar))
                        << nameOf(isa) << " at " << place << " " << ::testing::PrintToString(sequence);
                }
            }
        }
    }
}

} // namespace
} // namespace cipher
