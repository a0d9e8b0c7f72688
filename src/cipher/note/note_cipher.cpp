#include "note_cipher.h"

#include "cipher/crypto/aes.h"
#include "cipher/crypto/digest.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/utf8.h"
#include "cipher/stream/note_stream.h"

#include <new>

namespace cipher {

namespace {

constexpr std::string_view someError = "some error";

// The file text of a note, built a piece at a time.
std::optional<std::string> encryptWhole(std::string_view text, std::string_view password, ByteView iv,
                                        StageObserver* observer) {
    std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(text, password, iv, NoteEncryptor::Check::asItGoes,
                                                                 NoteEncryptor::Encode::withCipher, observer);
    if (!encryptor) {
        return std::nullopt;
    }
    std::string fileText;
    fileText.reserve(encryptor->fileTextSize());
    preferHugePages(fileText.data(), fileText.capacity());
    for (;;) {
        const std::optional<std::string_view> piece = encryptor->next();
        if (!piece) {
            return std::nullopt;
        }
        if (piece->empty()) {
            return fileText;
        }
        fileText.append(*piece);
    }
}

// Feeds the whole file text to an opener; the opener, or none when it could not be made.
std::optional<NoteOpener> opened(std::string_view fileText, std::string_view password, ByteView iv,
                                 NoteOpener::Keep keep, StageObserver* observer) {
    std::optional<NoteOpener> opener = NoteOpener::make(password, iv, fileText.size(), keep, observer);
    if (opener) {
        (void)opener->feed(fileText);
    }
    return opener;
}

} // namespace

std::optional<std::string> encrypt(std::string_view text, std::string_view password, ByteView iv, const Trace& trace,
                                   Log& log) {
    try {
        TracedStages stages(trace);
        if (trace.enabled()) {
            stages.input(text);
        }
        std::optional<std::string> fileText = encryptWhole(text, password, iv, stages.observer());
        if (!fileText) {
            log.write(someError);
        }
        return fileText;
    } catch (const std::bad_alloc&) {
        log.write(someError);
        return std::nullopt;
    }
}

std::optional<std::string> decrypt(std::string_view fileText, std::string_view password, ByteView iv,
                                   const Trace& trace) {
    try {
        TracedStages stages(trace);
        std::optional<NoteOpener> opener =
            opened(fileText, password, iv, NoteOpener::Keep::wellFormedPrefix, stages.observer());
        if (!opener) {
            trace.label(someError);
            return std::nullopt;
        }
        std::optional<std::string> note = opener->finishPrefix();
        if (trace.enabled() && stages.writeDecryption() && note) {
            trace.label("decryptedstring");
            trace.text(*note);
        }
        return note;
    } catch (const std::bad_alloc&) {
        trace.label(someError);
        return std::nullopt;
    }
}

Result<std::string> decryptWhole(std::string_view fileText, std::string_view password, ByteView iv,
                                 const Trace& trace) {
    // A file text that is not text is no note, whatever the decoder would skip: every reader refuses it alike.
    if (!isWellFormedUtf8(fileText)) {
        return notANote();
    }
    try {
        TracedStages stages(trace);
        // Traced, the whole note is decrypted even when it is not text, as the trace shows all of it.
        std::optional<NoteOpener> opener = opened(
            fileText, password, iv, trace.enabled() ? NoteOpener::Keep::wellFormedPrefix : NoteOpener::Keep::wholeNote,
            stages.observer());
        if (!opener) {
            trace.label(someError);
            return wrongPasswordOrDamaged();
        }
        Result<std::string> note = opener->finish();
        if (trace.enabled()) {
            traceNote(trace, stages, note);
        }
        return note;
    } catch (const std::bad_alloc&) {
        trace.label(someError);
        return Failure{FailureCause::notEnoughMemory};
    }
}

void traceNote(const Trace& trace, const TracedStages& stages, const Result<std::string>& note) {
    if (!stages.writeDecryption()) {
        return;
    }
    if (note) {
        trace.label("decryptedstring");
        trace.text(note.value());
    } else {
        trace.label(someError);
    }
}

bool opensAs(std::string_view fileText, std::string_view text, std::string_view password, ByteView iv) {
    try {
        std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(password, iv);
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
