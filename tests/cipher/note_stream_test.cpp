#include "cipher/aes.h"
#include "cipher/base64.h"
#include "cipher/note_cipher.h"
#include "cipher/note_file.h"
#include "cipher/note_stream.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace cipher {
namespace {

using namespace std::string_literals;

constexpr std::string_view password = "p\xC3\xA4ss";
constexpr std::size_t piece = NoteEncryptor::pieceBytes; // 48 KiB

// The file text made the plain way, whole and with the scalar encoder: the oracle for the pieces.
std::string plainFileText(std::string_view note) {
    return base64Encode(*aesCbcEncrypt(deriveKey(password), noteIv, asBytes(note)), Isa::scalar);
}

// Random UTF-8 text of exactly this many bytes, with multi-byte characters wherever they fall.
std::string randomNote(std::mt19937& random, std::size_t size) {
    static const char* const pieces[] = {"a", "Z", " ", "\r\n", "\xC3\xA9", "\xE5\x90\x8D", "\xF0\x9F\x98\x80"};
    std::string text;
    while (text.size() < size) {
        text += pieces[random() % std::size(pieces)];
    }
    while (text.size() > size) {
        text.pop_back();
    }
    // Keeps the size; the characters at the end, one perhaps cut, become ASCII.
    for (std::size_t i = text.size(); i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0x80) != 0; --i) {
        text[i - 1] = 'x';
    }
    return text;
}

std::vector<std::size_t> sizesAroundPieces() {
    std::vector<std::size_t> sizes{0, 1, 15, 16, 17, 47 * 1024, 49 * 1024};
    for (const std::size_t pieces : {1U, 2U, 3U}) {
        for (const int delta : {-17, -16, -15, -1, 0, 1, 15, 16, 17}) {
            sizes.push_back(static_cast<std::size_t>(static_cast<int>(pieces * piece) + delta));
        }
    }
    return sizes;
}

TEST(NoteStream, EncryptsAndDecryptsInPiecesExactlyAsWhole) {
    std::mt19937 random(23);
    for (const std::size_t size : sizesAroundPieces()) {
        const std::string note = randomNote(random, size);
        const std::string expected = plainFileText(note);
        MemoryLog log;
        EXPECT_TRUE(encrypt(note, password, noteIv, Trace(), log) == expected) << size;
        EXPECT_EQ(decrypt(expected, password, noteIv, Trace()), note) << size;
        EXPECT_EQ(decryptWhole(expected, password, noteIv, Trace()).value(), note) << size;
        EXPECT_TRUE(opensAs(expected, note, password, noteIv)) << size;
        EXPECT_TRUE(log.lines.empty());
    }
}

TEST(NoteStream, FindsIllFormedUtf8OnEitherSideOfAPieceBoundary) {
    const std::string note(2 * piece + 100, 'n');
    // A character across each boundary is fine; a broken one anywhere near it, or at the very end, is not.
    for (const std::size_t at : {piece - 2, piece - 1, piece, piece + 1, 2 * piece - 1, 2 * piece}) {
        std::string straddling = note;
        straddling.replace(at - 1, 4, "\xF0\x9F\x98\x80");
        MemoryLog log;
        EXPECT_TRUE(encrypt(straddling, password, noteIv, Trace(), log) == plainFileText(straddling)) << at;
        for (const std::string& bad : {"\xFF"s, "\x80"s, "\xE5\x90"s + "a", "\xED\xA0\x80"s}) {
            std::string broken = note;
            broken.replace(at, bad.size(), bad);
            EXPECT_EQ(encrypt(broken, password, noteIv, Trace(), log), std::nullopt) << at;
        }
    }
    MemoryLog log;
    EXPECT_EQ(encrypt(note + "\xE5\x90", password, noteIv, Trace(), log), std::nullopt);
    EXPECT_EQ(log.lines, std::vector<std::string>{"some error"});
}

TEST(NoteStream, RefusesDamageFoundLateInALargeFile) {
    std::mt19937 random(31);
    const std::string note = randomNote(random, 3 * piece + 5);
    const std::string fileText = plainFileText(note);
    std::string padInside = fileText;
    padInside[fileText.size() - 1000] = '=';
    std::string badPadding = fileText;
    badPadding.replace(badPadding.size() - 4, 2, "AA"); // the last block no longer ends in valid padding
    std::string shortGroup = fileText;
    shortGroup.pop_back();
    for (const std::string& damaged : {padInside, badPadding, shortGroup}) {
        EXPECT_EQ(decrypt(damaged, password, noteIv, Trace()), std::nullopt);
        EXPECT_FALSE(decryptWhole(damaged, password, noteIv, Trace()).ok());
        EXPECT_FALSE(opensAs(damaged, note, password, noteIv));
    }
    // Plaintext that stops being UTF-8 in its last piece: decrypt keeps what comes before, decryptWhole refuses.
    const std::string tail = note + "ok\xFFmore";
    const std::string partial = plainFileText(tail);
    EXPECT_EQ(decrypt(partial, password, noteIv, Trace()), note + "ok");
    EXPECT_FALSE(decryptWhole(partial, password, noteIv, Trace()).ok());
    EXPECT_FALSE(opensAs(fileText, note + "x", password, noteIv));
    EXPECT_FALSE(opensAs(fileText, note.substr(1), password, noteIv));
}

bool verifies(const std::string& note, const std::string& fileText, std::size_t pieceSize) {
    std::optional<NoteVerifier> verifier = NoteVerifier::make(note, password, noteIv);
    for (std::size_t pos = 0; pos < fileText.size(); pos += pieceSize) {
        if (!verifier->feed(std::string_view(fileText).substr(pos, pieceSize))) {
            return false;
        }
    }
    return verifier->finish();
}

TEST(NoteVerifier, AcceptsOnlyTheExactFileTextOfTheNote) {
    std::mt19937 random(37);
    const std::string note = randomNote(random, piece + 333);
    const std::string fileText = plainFileText(note);
    std::string lfOnly = fileText;
    std::erase(lfOnly, '\r');
    std::string blank = fileText;
    blank[130] = ' ';
    std::string flipped = fileText;
    flipped[fileText.size() / 2] ^= 1;
    const std::string others[] = {lfOnly, fileText + "\r\n", fileText.substr(0, fileText.size() - 1),
                                  blank,  flipped,           plainFileText(note + "x")};
    // Pieces that cut lines, line breaks and groups anywhere, and one piece for all.
    for (const std::size_t size : {1U, 3U, 65U, 66U, 67U, 4096U, 1U << 20}) {
        EXPECT_TRUE(verifies(note, fileText, size)) << size;
        for (const std::string& other : others) {
            EXPECT_FALSE(verifies(note, other, size)) << size;
        }
    }
}

TEST(NoteStream, SavesALargeNoteByteForByteAsEncryptWouldWrite) {
    const test::TempDir dir;
    std::mt19937 random(41);
    const std::string note = randomNote(random, 2 * piece + 7);
    MemoryLog log;
    ASSERT_TRUE(saveEncryptedText(dir / "big.vpd", note, password, noteIv, Trace(), log).ok());
    EXPECT_TRUE(test::readFile(dir / "big.vpd") == plainFileText(note));
    EXPECT_EQ(log.lines, std::vector<std::string>{"Success!"});

    // A note that turns out not to be UTF-8 after pieces were written leaves nothing behind.
    const Result<Done> refused = saveEncryptedText(dir / "big.vpd", note + "\xFF", password, noteIv, Trace(), log);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.failure().message,
              "Could not save \"" + (dir / "big.vpd").string() + "\": the note could not be encrypted.");
    EXPECT_TRUE(test::readFile(dir / "big.vpd") == plainFileText(note));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"big.vpd"});
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Success!", "some error", "Failed!!"}));
}

// What opening gave before it was done in one pass: read the file whole, then decrypt it.
Result<std::string> openInTwoSteps(const std::filesystem::path& path, std::string_view pass) {
    const Result<std::string> fileText = readNoteFile(path);
    if (!fileText) {
        return fileText.failure();
    }
    Result<std::string> note = decryptWhole(fileText.value(), pass, noteIv, Trace());
    return note ? std::move(note)
                : Result<std::string>(Failure{"Could not open \"" + path.string() + "\". " + note.failure().message});
}

TEST(OpenNoteFile, GivesWhatReadingThenDecryptingGives) {
    const test::TempDir dir;
    std::mt19937 random(43);
    const std::string note = randomNote(random, (1 << 20) + 3 * piece);
    const std::string fileText = plainFileText(note);
    test::writeFile(dir / "big.vpd", fileText);
    // Not Base64 alone, but text: a non-ASCII character across the 1 MiB read boundary is skipped like a blank.
    std::string straddling = fileText;
    straddling.insert((1 << 20) - 1, "\xC3\xA9");
    test::writeFile(dir / "straddling.vpd", straddling);
    std::string notText = fileText;
    notText[(1 << 20) + 5] = '\xFF';
    test::writeFile(dir / "not-text.vpd", notText);
    test::writeFile(dir / "cut.vpd", fileText + "\xE5\x90");
    test::writeFile(dir / "bad-base64.vpd", "=" + fileText + "\xFF");
    test::writeFile(dir / "damaged.vpd", fileText.substr(0, fileText.size() - 1));
    test::writeFile(dir / "partial.vpd", plainFileText(note + "\xFF"));
    test::writeFile(dir / "empty.vpd", "");
    std::filesystem::create_directory(dir / "folder.vpd");
    for (const std::string name : {"big.vpd", "straddling.vpd", "not-text.vpd", "cut.vpd", "bad-base64.vpd",
                                   "damaged.vpd", "partial.vpd", "empty.vpd", "folder.vpd", "missing.vpd"}) {
        for (const std::string_view pass : {password, std::string_view("wrong")}) {
            const Result<std::string> expected = openInTwoSteps(dir / name, pass);
            const Result<std::string> opened = openNoteFile(dir / name, pass, noteIv, Trace());
            ASSERT_EQ(opened.ok(), expected.ok()) << name;
            if (opened.ok()) {
                EXPECT_TRUE(opened.value() == expected.value()) << name;
            } else {
                EXPECT_EQ(opened.failure().message, expected.failure().message) << name;
            }
        }
    }
    EXPECT_TRUE(openNoteFile(dir / "straddling.vpd", password, noteIv, Trace()).ok());
}

} // namespace
} // namespace cipher
