#include "cipher/note/note_cipher.h"
#include "cipher/stream/decrypted_content.h"
#include "test_support.h"

#include <tuple>

namespace cipher {
namespace {

using test::plainFileText;
using test::readFile;
using test::TempDir;
using Names = std::vector<std::string>;

// Each piece the content gives is written as it comes, so a save checks every piece; that the pieces join to what
// decryptWhole gives, or fail where it fails, for any file text, characters cut anywhere by the ends of pieces
// included, is the decrypt fuzzer's property.
TEST(DecryptedContent, SavesExactlyTheNoteOfAFileTextOrNothing) {
    const TempDir dir;
    std::mt19937 random(43);
    const std::vector<std::string> notes{"", "x", test::randomUtf8(random, 3 * NoteEncryptor::pieceBytes + 5),
                                         test::randomUtf8(random, 6 * NoteEncryptor::pieceBytes + 11)};
    for (const std::string& text : notes) {
        const std::string fileText = plainFileText(text, "pw");
        // Held whole (a mapped file text), and from a pipe in pieces smaller and larger than the content's own.
        for (const std::size_t cut : {fileText.size() + 1, std::size_t{4099}, std::size_t{1} << 20}) {
            test::CutSource source(fileText, cut);
            std::optional<DecryptedContent> content = DecryptedContent::make(source, NoteFormat("pw"));
            ASSERT_TRUE(writeFileAtomically(dir / "note.txt", *content).ok()) << text.size();
            EXPECT_TRUE(readFile(dir / "note.txt") == text) << text.size() << " cut " << cut;
        }
    }
    const std::string kept = readFile(dir / "note.txt");
    constexpr std::size_t whole = std::string_view::npos;
    using enum FailureCause;
    // The file text, where its pipe fails, and why it is refused; each leaves the earlier file alone.
    const std::tuple<std::string, std::size_t, FailureCause> refusals[] = {
        {plainFileText(notes[3], "other"), whole, wrongPasswordOrDamaged},           // the padding is wrong
        {plainFileText(notes[3] + "\xE2\x82", "pw"), whole, wrongPasswordOrDamaged}, // ends inside a character
        {plainFileText(notes[2] + "\xFF", "pw"), whole, wrongPasswordOrDamaged},     // not UTF-8
        // No password opens these: a character lost leaves no whole number of blocks; a file text that is no text.
        {plainFileText(notes[3], "pw").substr(0, 4000) + "!" + plainFileText(notes[3], "pw").substr(4001), whole,
         notANote},
        {plainFileText(notes[2], "pw") + "\r\n\xFF", whole, notANote},
        {plainFileText(notes[2], "pw") + "\r\n\xE2\x82", whole, notANote},
        {"Dear diary, today nothing happened.\n", whole, notANote},
        {plainFileText(notes[3], "pw"), 70000, unreadable}, // a pipe that fails is no refusal: its reader says why
    };
    for (const auto& [fileText, failAt, cause] : refusals) {
        test::CutSource pipe(fileText, 4099, failAt);
        std::optional<DecryptedContent> content = DecryptedContent::make(pipe, NoteFormat("pw"));
        const Result<Done> saved = writeFileAtomically(dir / "note.txt", *content);
        ASSERT_FALSE(saved.ok()) << fileText.size();
        EXPECT_EQ(saved.failure().cause, cause) << fileText.size();
    }
    EXPECT_TRUE(readFile(dir / "note.txt") == kept);
    EXPECT_EQ(dir.names(), Names{"note.txt"});
}

} // namespace
} // namespace cipher
