#include "cipher/encoding/utf8.h"
#include "test_support.h"

namespace cipher {
namespace {

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
                << "instruction set " << static_cast<int>(isa) << " " << ::testing::PrintToString(c.bytes);
        }
    }
}

} // namespace
} // namespace cipher
