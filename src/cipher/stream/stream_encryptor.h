#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/result.h"
#include "cipher/crypto/aes.h"
#include "cipher/encoding/utf8.h"
#include "note_format.h"
#include "piece_source.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace cipher {

/// Encrypts a note read from a source a piece at a time, so that a note from a pipe is never held whole and an
/// endless one is encrypted in constant memory: the pieces of file text joined are what encrypt gives for all the
/// source gave. The note's UTF-8 is checked before each piece is encrypted. One thread; a pipe sets the pace.
class StreamEncryptor {
public:
    /// Plain bytes per piece: a whole number of Base64 lines and AES blocks.
    static constexpr std::size_t pieceBytes = 1024 * 48;

    /// No value when the cipher cannot be made (the password is not well-formed UTF-8). The source must outlive it.
    [[nodiscard]] static std::optional<StreamEncryptor> make(PieceSource& source, const NoteFormat& format);

    /// The next piece of file text, valid until the next call; empty once all is given. Fails, then and afterwards,
    /// as unreadable when the source cannot be read, notText when the note is not well-formed UTF-8, or notEncrypted.
    [[nodiscard]] Result<std::string_view> next();

    /// The note's bytes that the piece last given holds, valid until the next call.
    [[nodiscard]] ByteView plainPiece() const noexcept { return {m_plain.data(), m_used}; }

private:
    StreamEncryptor(PieceSource& source, CbcStream cipher);
    [[nodiscard]] bool fill();
    [[nodiscard]] Result<std::string_view> failed(FailureCause cause);

    PieceSource* m_source;
    CbcStream m_cipher;
    std::string_view m_pending; // what the source gave that is not yet in a piece
    bool m_sourceEnded = false;
    SecureBytes m_plain;
    std::size_t m_used = 0;
    std::unique_ptr<std::uint8_t[]> m_cipherBytes;
    std::unique_ptr<char[]> m_fileText;
    Utf8Checker m_text;
    bool m_done = false;
    std::optional<FailureCause> m_failure;
};

} // namespace cipher
