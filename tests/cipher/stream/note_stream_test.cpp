#include "cipher/note/note_cipher.h"
#include "cipher/stream/note_stream.h"
#include "test_support.h"

namespace cipher {
namespace {

constexpr std::string_view password = "p\xC3\xA4ss";
constexpr std::size_t piece = NoteEncryptor::pieceBytes; // 48 KiB

TEST(NoteStream, ASecondThreadStopsWhenTheNoteIsRefusedOrAbandoned) {
    std::string note(40 * piece, 'n');
    note[30 * piece + 5] = '\xFF';
    using Sharing = NoteEncryptor::Sharing;
    for (const auto sharing : {Sharing::encodeAhead, Sharing::encodeHere}) {
        TextSource source(note);
        std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(source, NoteFormat(password), sharing);
        std::size_t given = 0;
        for (Result<std::string_view> next = encryptor->next(); next && !next.value().empty();
             next = encryptor->next()) {
            ++given;
        }
        EXPECT_EQ(given, 30U);
        EXPECT_EQ(encryptor->next().failure().cause, FailureCause::notText);
    }
    // Abandoned while the cipher is ahead, and before it ever started: both end, and the thread with them.
    for (const std::size_t taken : {1U, 0U}) {
        TextSource source(note);
        std::optional<NoteEncryptor> abandoned =
            NoteEncryptor::make(source, NoteFormat(password), Sharing::encodeHereChecked);
        for (std::size_t i = 0; i < taken; ++i) {
            EXPECT_TRUE(abandoned->next().ok());
        }
    }
}

} // namespace
} // namespace cipher
