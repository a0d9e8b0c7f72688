#include "property.h"

#include "cipher/base/log.h"
#include "cipher/crypto/aes.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/utf8.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/trace.h"
#include "cipher/stream/decrypted_content.h"
#include "support/memory_log.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The seed corpus in fuzz/corpus/decrypt holds notes saved under this password, so mutations start deep.
constexpr std::string_view password = "correct horse";

// Notes of this size span a few of the pieces that encryption (48 KiB) and decryption (64 KiB of text) work in.
constexpr std::size_t largeNoteSize = 72 * 1024;

// The password's format, untraced; its key is derived once.
const cipher::NoteFormat& quiet() {
    static const cipher::NoteFormat format(password);
    return format;
}

// A trace that is on collects every stage and keeps decrypting a note that turns out not to be text, which a
// silent one stops at once; both must give the same answers. The trace itself goes nowhere.
cipher::TracedFormat tracing() {
    static std::FILE* const nowhere = std::fopen("/dev/null", "w");
    return cipher::TracedFormat(password, cipher::Trace(nowhere));
}

// The note as a save of a decrypted copy gets it, a piece at a time; no value when that save would refuse it.
std::optional<std::string> decryptedInPieces(std::string_view fileText) {
    cipher::TextSource held(fileText);
    std::optional<cipher::DecryptedContent> content =
        cipher::DecryptedContent::make(held, cipher::NoteFormat(password));
    require(content.has_value());
    std::string note;
    for (;;) {
        const cipher::Result<std::string_view> piece = content->nextPiece();
        if (!piece) {
            return std::nullopt;
        }
        if (piece.value().empty()) {
            return note;
        }
        note.append(piece.value());
    }
}

// The input as a file text: whatever it holds, a note that comes out is text, and a whole note is exactly what
// was encrypted (the same ciphertext, since encryption is deterministic and the padding is checked).
void checkFileText(std::string_view fileText, bool alsoTraced) {
    const std::optional<std::string> note = cipher::decrypt(fileText, quiet());
    if (note) {
        require(cipher::isWellFormedUtf8(*note));
    }
    const cipher::Result<std::string> whole = cipher::decryptWhole(fileText, quiet());
    if (alsoTraced) {
        require(cipher::decrypt(fileText, tracing()) == note);
        const cipher::Result<std::string> traced = cipher::decryptWhole(fileText, tracing());
        require(traced.ok() == whole.ok() && (!whole || traced.value() == whole.value()));
    }
    // Piece by piece, exactly the whole note or nothing.
    const std::optional<std::string> inPieces = decryptedInPieces(fileText);
    require(inPieces.has_value() == whole.ok() && (!whole || *inPieces == whole.value()));
    if (!whole) {
        return;
    }
    require(cipher::isWellFormedUtf8(whole.value()));
    require(note && *note == whole.value());
    require(cipher::opensAs(fileText, whole.value(), quiet()));
    require(!cipher::opensAs(fileText, whole.value() + "x", quiet()));
    if (!whole.value().empty()) {
        const std::string_view shorter = std::string_view(whole.value()).substr(0, whole.value().size() - 1);
        require(!cipher::opensAs(fileText, shorter, quiet()));
    }
    cipher::MemoryLog log;
    const std::optional<std::string> again = cipher::encrypt(whole.value(), quiet(), log);
    require(again && cipher::base64ToByteArray(*again) == cipher::base64ToByteArray(fileText));
}

// The bytes as a decrypted note, encrypted by the whole-array cipher, as an independent path: decrypt gives
// exactly their well-formed prefix, decryptWhole all of them or nothing, and only well-formed text saves.
void checkPlainBytes(std::string_view plain, bool alsoTraced) {
    const std::optional<cipher::Bytes> cipherBytes =
        cipher::aesCbcEncrypt(cipher::deriveKey(password), cipher::noteIv, cipher::asBytes(plain));
    require(cipherBytes.has_value());
    const std::string fileText = cipher::base64Encode(*cipherBytes);
    const bool wellFormed = cipher::isWellFormedUtf8(plain);

    require(cipher::decrypt(fileText, quiet()) == cipher::convertUInt8ToUTF(cipher::asBytes(plain)));
    const cipher::Result<std::string> whole = cipher::decryptWhole(fileText, quiet());
    require(whole.ok() == wellFormed && (!whole || whole.value() == plain));
    require(cipher::opensAs(fileText, plain, quiet()));

    cipher::MemoryLog log;
    const std::optional<std::string> saved = cipher::encrypt(plain, quiet(), log);
    require(saved.has_value() == wellFormed && (!saved || *saved == fileText));
    if (alsoTraced) {
        require(cipher::encrypt(plain, tracing(), log) == saved);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = cipher::asText(cipher::ByteView(data, size));
    checkFileText(input, true);
    checkPlainBytes(input, true);

    // An input starting with "L" is the pattern of a large note, so that piece boundaries fall everywhere in it.
    if (input.size() > 1 && input.front() == 'L') {
        const std::string_view pattern = input.substr(1);
        std::string plain;
        plain.reserve(largeNoteSize + pattern.size());
        while (plain.size() < largeNoteSize) {
            plain += pattern;
        }
        checkPlainBytes(plain, false);
        cipher::MemoryLog log;
        if (std::optional<std::string> fileText = cipher::encrypt(plain, quiet(), log)) {
            checkFileText(*fileText, false);
            // One character changed where the pattern says: a damaged large file, read as the whole-array steps
            // would read it.
            const std::size_t at =
                (pattern.size() * 7919 + static_cast<unsigned char>(pattern.back())) % fileText->size();
            (*fileText)[at] = pattern.front();
            checkFileText(*fileText, false);
            std::optional<std::string> expected;
            if (const std::optional<cipher::Bytes> cipherBytes = cipher::base64ToByteArray(*fileText)) {
                const cipher::SecureBytes key = cipher::deriveKey(password);
                if (const auto decrypted = cipher::aesCbcDecrypt(key, cipher::noteIv, *cipherBytes)) {
                    expected = cipher::convertUInt8ToUTF(*decrypted);
                }
            }
            require(cipher::decrypt(*fileText, quiet()) == expected);
        }
    }
    return 0;
}
