#include "cipher/encoding/utf8.h"
#include "test_support.h"

namespace cipher {
namespace {

using test::nameOf;
using test::vectorIsas;

// Every two-byte start, and three- and four-byte ones with telling later bytes, in a 128-byte ASCII buffer across
// the first 64-byte block boundary, inside the second block and cut off by the end: the first error is found as
// the scalar code finds it. The scalar code itself is checked against iconv by the utf8 fuzzer.
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
