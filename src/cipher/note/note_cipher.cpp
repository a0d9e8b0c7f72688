#include "note_cipher.h"

#include "cipher/crypto/aes.h"
#include "cipher/crypto/digest.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/utf8.h"
#include "cipher/stream/note_opening.h"
#include "cipher/stream/note_stream.h"

#include <new>

namespace cipher {

namespace {

constexpr std::string_view someError = "some error";

// The file text of a note, built a piece at a time.
std::optional<std::string> encryptWhole(std::string_view text, const NoteFormat& format) {
    TextSource note(text);
    std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(note, format);
    if (!encryptor) {
        return std::nullopt;
    }
    std::string fileText;
    fileText.reserve(encryptor->fileTextSize());
    preferHugePages(fileText.data(), fileText.capacity());
    for (;;) {
        const Result<std::string_view> piece = encryptor->next();
        if (!piece) {
            return std::nullopt;
        }
        if (piece.value().empty()) {
            return fileText;
        }
        fileText.append(piece.value());
    }
}

void outOfMemory(StageObserver* observer) {
    if (observer != nullptr) {
        observer->decryptionOutOfMemory();
    }
}

} // namespace

std::optional<std::string> encrypt(std::string_view text, const NoteFormat& format, Log& log) {
    try {
        if (StageObserver* observer = format.observer()) {
            observer->encryptionStarted(text);
        }
        std::optional<std::string> fileText = encryptWhole(text, format);
        if (!fileText) {
            log.write(someError);
        }
        return fileText;
    } catch (const std::bad_alloc&) {
        log.write(someError);
        return std::nullopt;
    }
}

std::optional<std::string> decrypt(std::string_view fileText, const NoteFormat& format) {
    StageObserver* const observer = format.observer();
    try {
        std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(format);
        NoteText note;
        note.expect(Base64Decoder::maxDecodedSize(fileText.size()));
        const PlainSink collect = [&note](ByteView plain) { return note.take(asText(plain)); };
        if (decryptor) {
            (void)decryptor->feed(fileText, collect);
        }
        const bool whole = decryptor && decryptor->finish(collect);
        if (observer != nullptr) {
            observer->decryptionEnded(whole);
        }
        if (!whole) {
            return std::nullopt;
        }
        // What follows the well-formed prefix is dropped, and wiped first.
        std::string text = note.release();
        const std::size_t wellFormed = wellFormedUtf8PrefixLength(asBytes(text));
        cleanse(text.data() + wellFormed, text.size() - wellFormed);
        text.resize(wellFormed);
        return text;
    } catch (const std::bad_alloc&) {
        outOfMemory(observer);
        return std::nullopt;
    }
}

Result<std::string> decryptWhole(std::string_view fileText, const NoteFormat& format) {
    try {
        TextSource source(fileText);
        NoteText note;
        const Result<Done> opened = openNote(source, format, note);
        if (!opened) {
            // A file text that is not text is no note, whatever the decoder would skip: every reader refuses it alike.
            return opened.failure().cause == FailureCause::notText ? notANote() : opened.failure();
        }
        return note.release();
    } catch (const std::bad_alloc&) {
        outOfMemory(format.observer());
        return Failure{FailureCause::notEnoughMemory};
    }
}

bool opensAs(std::string_view fileText, std::string_view text, const NoteFormat& format) {
    try {
        std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(format, nullptr);
        if (!decryptor) {
            return false;
        }
        std::size_t matched = 0;
        const PlainSink compare = [&](ByteView plain) { return matchesNext(text, matched, asText(plain)); };
        return decryptor->feed(fileText, compare) && decryptor->finish(compare) && matched == text.size();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace cipher
