#include "cipher/note/note_cipher.h"
#include "cipher/stream/note_opening.h"
#include "cipher/stream/note_stream.h"
#include "support/memory_log.h"
#include "test_support.h"

#include <cstdlib>
#include <functional>
#include <tuple>

namespace cipher {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
using test::randomUtf8;
using test::traced;

constexpr std::string_view password = "p\xC3\xA4ss";
constexpr std::size_t piece = NoteEncryptor::pieceBytes; // 48 KiB

std::string plainFileText(std::string_view note) {
    return test::plainFileText(note, password);
}

// Reference files made with `openssl enc -aes-256-cbc -a` (the last two span cipher blocks and Base64 lines); each
// also opens in openssl's own layout, LF breaks and a final LF, and under any other password as nothing. Input no key
// or note can come from encrypts to nothing.
TEST(NoteCipher, MatchesReferenceFilesAndOpensOnlyUnderItsPassword) {
    const std::tuple<std::string, std::string_view, std::string> references[] = {
        {"", "", "48fFiiuUHyMnuRBN9Y5OFg=="},
        {"Hello", "", "LZIEcjSaS8ninmllT7Az2w=="},
        {"Caf\xC3\xA9 \xE5\x90\x8D \xF0\x9F\x98\x80\r\nline two\0end"s, password,
         "AQRBT9CryszcEQ7qI2Qbb+IhERJu0Uk3HyWiRd4rHpw="},
        {"Line one of a note long enough to wrap its Base64 text\r\ncaf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\n", password,
         "LwZUBtpX5Cf2/OIo+6/eWGQpPszdHUYW2dzNdFcwbAXSnUFqYBrmVmHaxUWr0ZKA\r\n"
         "E5mLCIhk0ac9hs2WgI6fZu93DGc+SRNzQQ5pRnksVdM="},
    };
    for (const auto& [note, pass, fileText] : references) {
        MemoryLog log;
        const NoteFormat format(pass);
        EXPECT_EQ(encrypt(note, format, log), fileText);
        EXPECT_EQ(decryptWhole(fileText, format).value(), note);
        std::string opensslLayout = fileText + "\n";
        std::erase(opensslLayout, '\r');
        EXPECT_EQ(decrypt(opensslLayout, format), note);
        for (const std::string_view wrong : {""sv, "pass"sv, "p\xC3\xA4sS"sv, password}) {
            if (wrong == pass) {
                continue;
            }
            EXPECT_NE(decrypt(fileText, NoteFormat(wrong)), note);
            const auto refused = decryptWhole(fileText, NoteFormat(wrong));
            ASSERT_FALSE(refused.ok());
            EXPECT_EQ(refused.failure().cause, FailureCause::wrongPasswordOrDamaged);
        }
    }
    MemoryLog log;
    EXPECT_EQ(encrypt("note", NoteFormat("bad\xFF"), log), std::nullopt);
    EXPECT_EQ(encrypt("bad\xFF", NoteFormat("pw"), log), std::nullopt);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"some error", "some error"}));
    for (const std::string fileText : {"", "\r\n", "not base64", "AAAAAAAAAAAAAAAAAAAA"}) {
        EXPECT_EQ(decrypt(fileText, NoteFormat("pw")), std::nullopt) << fileText;
        EXPECT_FALSE(decryptWhole(fileText, NoteFormat("pw")).ok()) << fileText;
    }
}

// Each step of encrypt and decrypt, and a byte list long enough to span many chunks of the trace's formatting.
TEST(Trace, WritesEachStepByteExactly) {
    const std::string plainList = "[72, 101, 108, 108, 111]\n";
    const std::string cipherList = "[45, 146, 4, 114, 52, 154, 75, 201, 226, 158, 105, 101, 79, 176, 51, 219]\n";
    Bytes bytes(200'000);
    std::string longList = "[";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31);
        longList += (i == 0 ? "" : ", ") + std::to_string(bytes[i]);
    }
    MemoryLog log;
    const std::pair<std::function<void(const Trace&)>, std::string> cases[] = {
        {[&](const Trace& t) { (void)encrypt("Hello", TracedFormat("", t), log); },
         "input\n" + plainList + "encrypted\n" + cipherList +
             "encryptedData\n16 bytes\nencryptedString\nLZIEcjSaS8ninmllT7Az2w==\n"},
        {[&](const Trace& t) { (void)encrypt("Hello", TracedFormat("\xFF", t), log); }, "input\n" + plainList},
        {[](const Trace& t) { (void)decrypt("LZIEcjSaS8ninmllT7Az2w==", TracedFormat("", t)); },
         "decryptedData\n" + cipherList + "decrypted\n" + plainList + "decryptedstring\nHello\n"},
        {[](const Trace& t) { (void)decrypt("LZIEcjSaS8ninmllT7Az2w==", TracedFormat("x", t)); },
         "decryptedData\n" + cipherList + "some error\n"},
        {[](const Trace& t) { (void)decrypt("", TracedFormat("", t)); }, "decryptedData\n[]\nsome error\n"},
        {[](const Trace& t) { (void)decrypt("Zg=", TracedFormat("", t)); }, "some error\n"},
        {[&](const Trace& t) { t.byteList(bytes); }, longList + "]\n"},
    };
    for (const auto& [run, expected] : cases) {
        EXPECT_EQ(traced(run), expected);
    }
}

TEST(Trace, IsOffUnlessTheEnvironmentSaysExactlyOne) {
    EXPECT_FALSE(Trace().enabled());
    for (const char* value : {"", "0", "true", " 1", "1"}) {
        setenv("VELLUMPAD_TRACE", value, 1);
        EXPECT_EQ(Trace::fromEnvironment().enabled(), std::string(value) == "1") << value;
    }
    unsetenv("VELLUMPAD_TRACE");
}

// The file text an encryptor gives, pieces joined; no value when it fails.
std::optional<std::string> joinedPieces(PieceSource& note, NoteEncryptor::Sharing sharing) {
    std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(note, NoteFormat(password), sharing);
    std::string fileText;
    for (Result<std::string_view> next = encryptor->next(); next; next = encryptor->next()) {
        if (next.value().empty()) {
            return fileText;
        }
        fileText.append(next.value());
    }
    return std::nullopt;
}

// Around piece boundaries, and for large notes from where the cipher moves to a second thread, past where its
// ring of pieces wraps round more than once, with the UTF-8 checked as it goes or by the caller first, and the
// Base64 done beside the cipher (as encrypt has it) or by the caller; and from a pipe, copied in a piece at a time.
// That decrypt and opensAs agree with decryptWhole on any file text is the decrypt fuzzer's property.
TEST(NoteStream, EncryptsAndDecryptsInPiecesAndOnASecondThreadExactlyAsWhole) {
    std::mt19937 random(23);
    const std::size_t from = secondThreadFrom;
    std::vector<std::size_t> sizes{0,         1,        15,   16,        17,         47 * 1024,
                                   49 * 1024, from - 1, from, from + 17, 20 * piece, 40 * piece + 33};
    for (const std::size_t pieces : {1U, 2U, 3U}) {
        for (const std::size_t delta : {0U, 1U, 15U, 16U, 17U}) {
            sizes.insert(sizes.end(), {pieces * piece - delta, pieces * piece + delta});
        }
    }
    for (const std::size_t size : sizes) {
        const std::string note = randomUtf8(random, size);
        const std::string expected = plainFileText(note);
        using Sharing = NoteEncryptor::Sharing;
        for (const auto sharing : {Sharing::encodeAhead, Sharing::encodeHere, Sharing::encodeHereChecked}) {
            TextSource whole(note);
            test::CutSource pipe(note, 4099);
            EXPECT_TRUE(joinedPieces(whole, sharing) == expected && joinedPieces(pipe, sharing) == expected) << size;
        }
        EXPECT_EQ(decryptWhole(expected, NoteFormat(password)).value(), note) << size;
    }
}

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

// A file text that cannot be a note is refused at the first piece that shows it, before the rest is read: the
// first piece is fed alone, the rest afterwards.
TEST(NoteStream, RefusesAtTheFirstPieceThatCannotBeANote) {
    std::mt19937 random(37);
    const std::string note = randomUtf8(random, 2 * piece);
    const std::string fileText = plainFileText(note);
    const std::string blanks(maxSkippedRun, ' ');
    // The first piece, the rest, the password, and whether the first piece is still accepted.
    const std::tuple<std::string, std::string, std::string_view, bool> cases[] = {
        {fileText.substr(0, piece), fileText.substr(piece), "wrong", false},
        {std::string(piece, 'A'), std::string(piece, 'A'), password, false},
        {blanks + " ", fileText, password, false},
        {std::string(maxSkippedRun + 2, '\n'), fileText, password, false},
        {std::string(maxSkippedRun / 2 + 2, '\r') + std::string(maxSkippedRun / 2, '\n'), fileText, password, false},
        {blanks, fileText, password, true},
        {fileText.substr(0, piece) + blanks, fileText.substr(piece), password, true},
    };
    for (const auto& [first, rest, pass, accepted] : cases) {
        NoteText opened;
        std::optional<NoteOpener> opener = NoteOpener::make(NoteFormat(pass), opened);
        ASSERT_TRUE(opener);
        EXPECT_EQ(opener->feed(first), accepted) << first.size();
        EXPECT_EQ(decryptWhole(first + rest, NoteFormat(pass)).ok(), accepted) << first.size();
    }
}

} // namespace
} // namespace cipher
