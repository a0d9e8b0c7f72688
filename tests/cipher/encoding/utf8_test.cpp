#include "cipher/encoding/utf8.h"
#include "test_support.h"

namespace cipher {
namespace {

using test::nameOf;
using test::vectorIsas;

// Decoding stops, silently, at the first place where no well-formed sequence begins; every kernel agrees.
TEST(Utf8, KeepsTheTextBeforeTheFirstIllFormedSequence) {
    struct Case {
        std::string bytes;
        std::string kept;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"A\xFFZ", "A"},                                  // a byte that never starts a sequence
        {"A\x80", "A"},                                   // a continuation byte where a first byte belongs
        {"A\xE3\x81", "A"},                               // cut short by the end
        {"A\xE3\x81Z", "A"},                              // cut short by the next character
        {"\xC0\x80", ""},                                 // overlong
        {"\xC1\xBF", ""},                                 // overlong
        {"\xE0\x9F\xBF", ""},                             // overlong three-byte form
        {"\xED\xA0\x80", ""},                             // an encoded surrogate
        {"\xF4\x90\x80\x80", ""},                         // above U+10FFFF
        {"\xF5\x80\x80\x80", ""},                         // a first byte past the range
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},         // U+1F600
        {std::string("A\0B", 3), std::string("A\0B", 3)}, // NUL is a character
        {"\xEF\xBB\xBFZ", "\xEF\xBB\xBFZ"},               // a byte order mark stays
        {"\xF4\x8F\xBF\xBF\xED\x9F\xBF", "\xF4\x8F\xBF\xBF\xED\x9F\xBF"}, // U+10FFFF, U+D7FF
    };
    for (const Case& c : cases) {
        // Long enough for the vector kernels to see the sequence inside a block, not only in the scalar tail.
        const std::string padding(70, 'a');
        EXPECT_EQ(convertUInt8ToUTF(asBytes(c.bytes)), c.kept) << ::testing::PrintToString(c.bytes);
        for (const Isa isa : availableIsas()) {
            EXPECT_EQ(wellFormedUtf8PrefixLength(asBytes(padding + c.bytes), isa), padding.size() + c.kept.size())
                << nameOf(isa) << " " << ::testing::PrintToString(c.bytes);
        }
    }
}

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
