#include "note_cipher.h"

#include "cipher/crypto/aes.h"
#include "cipher/crypto/digest.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/utf8.h"
#include "cipher/stream/note_stream.h"

#include <cstring>
#include <new>

namespace cipher {

namespace {

constexpr std::string_view someError = "some error";

// The file text of a note, built a piece at a time; what encrypt gives when nothing is traced.
std::optional<std::string> encryptUntraced(std::string_view text, std::string_view password, ByteView iv) {
    std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(text, password, iv);
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

// The steps decrypt and decryptWhole share: Base64, the cipher, and their trace up to the plain-byte list.
std::optional<SecureBytes> decryptBytes(std::string_view fileText, std::string_view password, ByteView iv,
                                        const Trace& trace) {
    const std::optional<Bytes> cipherBytes = base64ToByteArray(fileText);
    if (!cipherBytes) {
        trace.label(someError);
        return std::nullopt;
    }
    trace.label("decryptedData");
    trace.byteList(*cipherBytes);
    std::optional<SecureBytes> plain = aesCbcDecrypt(deriveKey(password), iv, *cipherBytes);
    if (!plain) {
        trace.label(someError);
        return std::nullopt;
    }
    trace.label("decrypted");
    trace.byteList(*plain);
    return plain;
}

} // namespace

std::optional<std::string> encrypt(std::string_view text, std::string_view password, ByteView iv, const Trace& trace,
                                   Log& log) {
    try {
        if (!trace.enabled()) {
            std::optional<std::string> fileText = encryptUntraced(text, password, iv);
            if (!fileText) {
                log.write(someError);
            }
            return fileText;
        }
        // The text is already UTF-8, so its bytes go to the cipher as they are, without a copy.
        const ByteView plain = asBytes(text);
        trace.label("input");
        trace.byteList(plain);
        // A text that is not UTF-8 has no UTF-8 bytes to encrypt; saving it would not read back as the same text.
        std::optional<Bytes> cipherBytes;
        if (isWellFormedUtf8(text)) {
            cipherBytes = aesCbcEncrypt(deriveKey(password), iv, plain);
        }
        if (!cipherBytes) {
            log.write(someError);
            return std::nullopt;
        }
        trace.label("encrypted");
        trace.byteList(*cipherBytes);
        trace.label("encryptedData");
        trace.length(cipherBytes->size());
        std::string fileText = base64Encode(*cipherBytes);
        trace.label("encryptedString");
        trace.text(fileText);
        return fileText;
    } catch (const std::bad_alloc&) {
        log.write(someError);
        return std::nullopt;
    }
}

std::optional<std::string> decrypt(std::string_view fileText, std::string_view password, ByteView iv,
                                   const Trace& trace) {
    try {
        if (!trace.enabled()) {
            std::optional<NoteOpener> opener =
                NoteOpener::make(password, iv, fileText.size(), NoteOpener::Keep::wellFormedPrefix);
            if (!opener || !opener->feed(fileText)) {
                return std::nullopt;
            }
            return opener->finishPrefix();
        }
        const std::optional<SecureBytes> plain = decryptBytes(fileText, password, iv, trace);
        if (!plain) {
            return std::nullopt;
        }
        std::string note = convertUInt8ToUTF(*plain);
        trace.label("decryptedstring");
        trace.text(note);
        return note;
    } catch (const std::bad_alloc&) {
        trace.label(someError);
        return std::nullopt;
    }
}

Result<std::string> decryptWhole(std::string_view fileText, std::string_view password, ByteView iv,
                                 const Trace& trace) {
    const Failure failure{"The note could not be decrypted: wrong password or damaged file.",
                          FailureKind::WrongPasswordOrDamaged};
    // A file text that is not text is no note, whatever the decoder would skip: every reader refuses it alike.
    if (!isWellFormedUtf8(fileText)) {
        return failure;
    }
    try {
        if (!trace.enabled()) {
            std::optional<NoteOpener> opener = NoteOpener::make(password, iv, fileText.size());
            if (!opener || !opener->feed(fileText)) {
                return failure;
            }
            return opener->finish();
        }
        const std::optional<SecureBytes> plain = decryptBytes(fileText, password, iv, trace);
        if (!plain) {
            return failure;
        }
        const std::string_view note = asText(*plain);
        if (!isWellFormedUtf8(note)) {
            trace.label(someError);
            return failure;
        }
        trace.label("decryptedstring");
        trace.text(note);
        return std::string(note);
    } catch (const std::bad_alloc&) {
        trace.label(someError);
        return Failure{"The note could not be decrypted: there is not enough memory."};
    }
}

bool opensAs(std::string_view fileText, std::string_view text, std::string_view password, ByteView iv) {
    try {
        std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(password, iv);
        if (!decryptor) {
            return false;
        }
        std::size_t matched = 0;
        const PlainSink compare = [&](ByteView plain) {
            if (plain.size() > text.size() - matched ||
                std::memcmp(plain.data(), text.data() + matched, plain.size()) != 0) {
                return false;
            }
            matched += plain.size();
            return true;
        };
        return decryptor->feed(fileText, compare) && decryptor->finish(compare) && matched == text.size();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace cipher
