#include "cipher/note/note_cipher.h"
#include "cipher/stream/decrypted_content.h"
#include "support/faulty_file_ops.h"
#include "test_support.h"

namespace cipher {
namespace {

using test::FaultyOps;
using test::plainFileText;
using test::readFile;
using test::Step;
using test::TempDir;
using Names = std::vector<std::string>;

// Each piece the content gives is written as it comes, so a save checks every piece; that the pieces join to what
// decryptWhole gives, or fail where it fails, for any file text, is the decrypt fuzzer's property.
TEST(DecryptedContent, SavesExactlyTheNoteOfAFileTextOrNothing) {
    const TempDir dir;
    std::mt19937 random(43);
    // Four-byte characters after 0 to 3 bytes of ASCII are cut at every offset by the ends of pieces.
    std::vector<std::string> notes{"", "x", test::randomUtf8(random, 3 * NoteEncryptor::pieceBytes + 5),
                                   test::randomUtf8(random, 6 * NoteEncryptor::pieceBytes + 11)};
    for (const std::string lead : {"", "a", "ab", "abc"}) {
        std::string emoji = lead;
        while (emoji.size() < 2 * NoteEncryptor::pieceBytes) {
            emoji += "\xF0\x9F\x98\x80";
        }
        notes.push_back(emoji);
    }
    for (const std::string& text : notes) {
        const std::string fileText = plainFileText(text, "pw");
        std::optional<DecryptedContent> content = DecryptedContent::make(fileText, "pw", noteIv);
        ASSERT_TRUE(writeFileAtomically(dir / "note.txt", *content).ok()) << text.size();
        EXPECT_TRUE(readFile(dir / "note.txt") == text) << text.size();
        // From a pipe, in pieces smaller and larger than the content's own.
        for (const std::size_t cut : {std::size_t{4099}, std::size_t{1} << 20}) {
            test::CutSource source(fileText, cut);
            std::optional<DecryptedContent> piped = DecryptedContent::make(source, "pw", noteIv);
            ASSERT_TRUE(writeFileAtomically(dir / "piped.txt", *piped).ok()) << text.size();
            EXPECT_TRUE(readFile(dir / "piped.txt") == text) << text.size() << " cut " << cut;
        }
    }
    std::filesystem::remove(dir / "piped.txt");
    const std::string kept = readFile(dir / "note.txt");
    const std::string refusals[] = {
        plainFileText(notes[3], "other"),           // wrong password: the padding is wrong
        plainFileText(notes[3] + "\xE2\x82", "pw"), // ends inside a character
        plainFileText(notes[2] + "\xFF", "pw"),     // not UTF-8
        plainFileText(notes[3], "pw").substr(0, 4000) + "!" + plainFileText(notes[3], "pw").substr(4001),
        plainFileText(notes[2], "pw") + "\r\n\xFF",     // a whole note, then a file text that is not text
        plainFileText(notes[2], "pw") + "\r\n\xE2\x82", // the same, cut inside a character
    };
    for (const std::string& fileText : refusals) {
        std::optional<DecryptedContent> content = DecryptedContent::make(fileText, "pw", noteIv);
        const Result<Done> saved = writeFileAtomically(dir / "note.txt", *content);
        ASSERT_FALSE(saved.ok());
        EXPECT_EQ(saved.failure().cause, FailureCause::wrongPasswordOrDamaged);
    }
    // A pipe that fails partway is no refusal of the note: its reader says why.
    const std::string fileText = plainFileText(notes[3], "pw");
    test::CutSource failingPipe(fileText, 4099, 70000);
    std::optional<DecryptedContent> cut = DecryptedContent::make(failingPipe, "pw", noteIv);
    const Result<Done> unread = writeFileAtomically(dir / "note.txt", *cut);
    ASSERT_FALSE(unread.ok());
    EXPECT_EQ(unread.failure().cause, FailureCause::other);
    FaultyOps failing(Step::Rename, EACCES);
    const std::string small = plainFileText("n", "pw");
    std::optional<DecryptedContent> content = DecryptedContent::make(small, "pw", noteIv);
    const Result<Done> saved = writeFileAtomically(dir / "note.txt", *content, failing);
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.failure().cause, FailureCause::noPermission);
    EXPECT_TRUE(readFile(dir / "note.txt") == kept);
    EXPECT_EQ(dir.names(), Names{"note.txt"});
}

} // namespace
} // namespace cipher
