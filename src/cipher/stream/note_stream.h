#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/result.h"
#include "cipher/crypto/aes.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/utf8.h"
#include "note_format.h"
#include "piece_source.h"
#include "pieces_ahead.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace cipher {

/// The failure of a file text that does not decrypt to a whole note.
[[nodiscard]] Failure wrongPasswordOrDamaged();

/// The failure of a file text that no password can open: it is not text, its Base64 is refused, or it decodes to no
/// bytes or to a length that is no whole number of AES blocks.
[[nodiscard]] Failure notANote();

/// Sees the bytes of each stage as the streamed encryption or decryption makes them, for a trace. The bytes are
/// valid only during the call.
class StageObserver {
public:
    /// Where a decryption failed: no cipher could be made for the key, the Base64 was refused, or the cipher failed.
    enum class Stage { key, base64, cipher };

    virtual ~StageObserver() = default;
    /// Ciphertext as it is made (encryption) or decoded (decryption).
    virtual void cipherBytes(ByteView bytes) = 0;
    /// Plain bytes as they are decrypted.
    virtual void plainBytes(ByteView bytes) = 0;
    /// File text as it is given out.
    virtual void fileText(std::string_view text) = 0;
    /// The last piece of file text has been given out.
    virtual void encryptionEnded() = 0;
    /// The decryption failed at this stage.
    virtual void decryptionFailed(Stage stage) = 0;
    /// An opening ended: with the whole note, or refused.
    virtual void decryptionEnded(bool whole) { (void)whole; }
    /// The whole note, before a note held whole is encrypted.
    virtual void encryptionStarted(std::string_view text) { (void)text; }
    /// An opening stopped for want of memory.
    virtual void decryptionOutOfMemory() {}
};

class PieceEncryptor;

/// Encrypts a note into its file text a piece at a time, whatever gives the note (a whole text, a mapped file, a
/// pipe): the pieces joined are what encrypt gives for all the source gave. The note's UTF-8 is checked piece by
/// piece as it goes. A note the source holds whole is read where it lies, and for a large one AES (and Base64, as
/// shared) runs ahead on a second thread, so that whatever the caller does with each piece (checking, writing,
/// reading back) overlaps with it. Any other note is copied in a piece at a time on the caller's thread and never
/// held whole, so that an endless one is encrypted in constant memory; the source sets the pace.
class NoteEncryptor {
public:
    /// Plain bytes per piece: a whole number of Base64 lines and AES blocks.
    static constexpr std::size_t pieceBytes = 1024 * base64LineBytes;

    /// How the work on a note held whole is shared between the cipher's thread and the caller's. AES sets the pace
    /// of a large note, since each block waits for the one before.
    enum class Sharing {
        /// The caller also reads each piece back and checks it: the cipher's thread does the Base64 too.
        encodeAhead,
        /// The caller only writes the pieces out: it does the Base64 itself, so that the cipher's thread runs AES
        /// alone.
        encodeHere,
        /// As encodeHere, but the caller checks all of the note's UTF-8 before it takes the first piece: the note
        /// is not checked again, and the cipher may run up to aheadBytes ahead meanwhile.
        encodeHereChecked,
    };
    static constexpr std::size_t aheadBytes = std::size_t{8} << 20;

    /// No value when the cipher cannot be made (the password is not well-formed UTF-8). The source must outlive
    /// it. The format's observer makes the caller's thread do the Base64, so that it sees the ciphertext.
    [[nodiscard]] static std::optional<NoteEncryptor> make(PieceSource& note, const NoteFormat& format,
                                                           Sharing sharing = Sharing::encodeAhead);

    /// The size of the whole file text, in characters, when the source knows the note's size beforehand.
    [[nodiscard]] std::size_t fileTextSize() const noexcept;

    /// How many bytes of the note are done with: encrypted, checked and given out as file text.
    [[nodiscard]] std::size_t plainBytesDone() const noexcept { return m_plainDone; }

    /// The note's bytes that the piece last given holds, valid until the next call.
    [[nodiscard]] ByteView plainPiece() const noexcept { return m_plain; }

    /// The next piece of file text, valid until the next call; empty once all is given. Fails, then and
    /// afterwards, as unreadable when the source cannot be read (the source says why), notText when the note is
    /// not well-formed UTF-8, or notEncrypted when the cipher fails.
    [[nodiscard]] Result<std::string_view> next();

private:
    NoteEncryptor(PieceSource& note, CbcStream cipher, Sharing sharing, StageObserver* observer);
    [[nodiscard]] Result<std::string_view> failed(FailureCause cause);

    std::size_t m_noteSize;
    bool m_checks;
    PieceEncryptor* m_maker; // owned by m_pieces
    std::unique_ptr<PiecesAhead> m_pieces;
    std::unique_ptr<char[]> m_fileText; // the piece of file text given out, when the caller's thread encodes
    Utf8Checker m_text;
    ByteView m_plain;
    std::size_t m_given = 0;     // pieces given out
    std::size_t m_plainDone = 0; // plain bytes whose file text has been given out
    bool m_done = false;
    std::optional<FailureCause> m_failure;
    StageObserver* m_observer;
};

/// Receives plain bytes as they are decrypted; returns false to stop.
using PlainSink = std::function<bool(ByteView)>;

/// Decodes and decrypts a file text given a piece at a time (pieces of any size), handing on the plain bytes.
class NoteDecryptor {
public:
    /// No value when the cipher cannot be made (the password is not well-formed UTF-8); the observer, if any, is
    /// told so. The observer must outlive it.
    [[nodiscard]] static std::optional<NoteDecryptor> make(const NoteFormat& format, StageObserver* observer);
    /// The same, watched by the format's observer.
    [[nodiscard]] static std::optional<NoteDecryptor> make(const NoteFormat& format) {
        return make(format, format.observer());
    }

    /// Decodes and decrypts the next piece of file text; false when the Base64 is rejected, the cipher fails or
    /// the sink stops (then and afterwards). The bytes handed to the sink are wiped after it returns. Once the
    /// cipher failed or the sink stopped, what is fed is only decoded, to learn whether it can be a note at all.
    [[nodiscard]] bool feed(std::string_view piece, const PlainSink& sink);

    /// Ends the file text and hands on the last plain bytes, padding removed; false when the Base64 is incomplete,
    /// there was no ciphertext, or the padding is not valid (mostly a wrong password).
    [[nodiscard]] bool finish(const PlainSink& sink);

    /// Whether what was fed shows that no password can open it: the Base64 was rejected, or (known once finished)
    /// it decoded to no bytes or to a length that is no whole number of AES blocks.
    [[nodiscard]] bool cannotBeANote() const noexcept { return m_notANote; }

private:
    NoteDecryptor(CbcStream cipher, StageObserver* observer);
    bool decrypt(std::size_t cipherSize, const PlainSink& sink);
    bool failed(StageObserver::Stage stage);

    CbcStream m_cipher;
    Base64Decoder m_decoder;
    bool m_failed = false;
    bool m_ended = false;
    bool m_notANote = false;
    std::size_t m_cipherTotal = 0;
    std::unique_ptr<std::uint8_t[]> m_cipherBytes;
    SecureBytes m_plain;
    StageObserver* m_observer;
};

/// Receives a note a piece at a time as it is decrypted: the pieces joined are the note, a piece may end inside a
/// UTF-8 sequence that the next completes. Nothing it was given is the note until the opening succeeds; when it
/// fails, the receiver drops all of it.
class NoteSink {
public:
    virtual ~NoteSink() = default;
    /// The note holds at most this many bytes: told before the first piece when the file text's size is known.
    virtual void expect(std::size_t bytes) { (void)bytes; }
    /// The next piece, valid only during the call; false stops the opening, which then fails.
    [[nodiscard]] virtual bool take(std::string_view piece) = 0;
};

/// Opens a note whose file text arrives a piece at a time (a whole text, a file, a pipe), so that the file text is
/// never held whole: decodes and decrypts each piece as it comes, checks the note's UTF-8 and hands it to a sink.
class NoteOpener {
public:
    /// No value when the cipher cannot be made. With the file text's size known, the sink is told how large the
    /// note can be. The sink, and the format's observer, must outlive it.
    [[nodiscard]] static std::optional<NoteOpener> make(const NoteFormat& format, NoteSink& note,
                                                        std::size_t fileTextSize = 0);

    /// The next piece of file text; false once it is refused (Base64 rejected, cipher failure, decrypted bytes that
    /// are not well-formed UTF-8, or the sink stopped). Watched, the opener takes on past a note that is not UTF-8,
    /// so that the observer sees all of it; the sink gets no more of it, and finish refuses it.
    [[nodiscard]] bool feed(std::string_view piece);

    /// Ends the file text: done when the sink has been given the whole note, well-formed UTF-8; else refusal's.
    [[nodiscard]] Result<Done> finish();

    /// Why the file text was refused: notANote's failure once the file text shows that no password can open it,
    /// else wrongPasswordOrDamaged's. Feeding the rest after a refusal, then finish, tells more.
    [[nodiscard]] Failure refusal() const;
    /// Whether the file text has already shown that no password can open it.
    [[nodiscard]] bool refusedForGood() const noexcept { return m_decryptor.cannotBeANote(); }

private:
    NoteOpener(NoteDecryptor decryptor, NoteSink& note, bool watched);
    bool take(ByteView plain);

    NoteDecryptor m_decryptor;
    NoteSink* m_note;
    Utf8Checker m_text;
    bool m_wellFormed = true;
    bool m_stopped = false;
    bool m_watched;
};

} // namespace cipher
