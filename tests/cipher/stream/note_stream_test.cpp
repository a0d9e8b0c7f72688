#include "cipher/note/note_cipher.h"
#include "cipher/stream/note_stream.h"
#include "test_support.h"

namespace cipher {
namespace {

using test::plainFileText;
using test::randomUtf8;

constexpr std::string_view password = "p\xC3\xA4ss";
constexpr std::size_t piece = NoteEncryptor::pieceBytes; // 48 KiB

TEST(NoteStream, ASecondThreadStopsWhenTheNoteIsRefusedOrAbandoned) {
    std::string note(40 * piece, 'n');
    note[30 * piece + 5] = '\xFF';
    for (const auto encode : {NoteEncryptor::Encode::withCipher, NoteEncryptor::Encode::byCaller}) {
        std::optional<NoteEncryptor> encryptor =
            NoteEncryptor::make(note, NoteFormat(password), NoteEncryptor::Check::asItGoes, encode);
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
        std::optional<NoteEncryptor> abandoned =
            NoteEncryptor::make(note, NoteFormat(password), NoteEncryptor::Check::doneByCaller);
        for (std::size_t i = 0; i < taken; ++i) {
            EXPECT_TRUE(abandoned->next().ok());
        }
    }
}

bool verifies(const std::string& note, const std::string& fileText, std::size_t pieceSize) {
    std::optional<NoteVerifier> verifier = NoteVerifier::make(note, NoteFormat(password));
    for (std::size_t pos = 0; pos < fileText.size(); pos += pieceSize) {
        if (!verifier->feed(std::string_view(fileText).substr(pos, pieceSize))) {
            return false;
        }
    }
    return verifier->finish();
}

TEST(NoteVerifier, AcceptsOnlyTheExactFileTextOfTheNote) {
    std::mt19937 random(37);
    const std::string note = randomUtf8(random, piece + 333);
    const std::string fileText = plainFileText(note, password);
    std::string lfOnly = fileText;
    std::erase(lfOnly, '\r');
    std::string blank = fileText;
    blank[130] = ' ';
    std::string flipped = fileText;
    flipped[fileText.size() / 2] ^= 1;
    const std::string others[] = {lfOnly, fileText + "\r\n", fileText.substr(0, fileText.size() - 1),
                                  blank,  flipped,           plainFileText(note + "x", password)};
    // Pieces that cut lines, line breaks and groups anywhere, and one piece for all.
    for (const std::size_t size : {1U, 3U, 65U, 66U, 67U, 4096U, 1U << 20}) {
        EXPECT_TRUE(verifies(note, fileText, size)) << size;
        for (const std::string& other : others) {
            EXPECT_FALSE(verifies(note, other, size)) << size;
        }
    }
}

} // namespace
} // namespace cipher
