#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/result.h"
#include "cipher/crypto/aes.h"
#include "cipher/encoding/base64.h"
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
    /// Where a decryption failed.
    enum class Stage { base64, cipher };

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
};

/// Encrypts a note into its file text a piece at a time: the pieces joined are what encrypt gives. The note's
/// UTF-8 is checked piece by piece as it goes. For a large note AES and Base64 run ahead on a second thread, so
/// that whatever the caller does with each piece (checking, writing, reading back) overlaps with them.
class NoteEncryptor {
public:
    /// Plain bytes per piece: a whole number of Base64 lines and AES blocks.
    static constexpr std::size_t pieceBytes = 1024 * base64LineBytes;

    /// Whether the encryptor checks the note's UTF-8 itself, or the caller checks all of it before taking the
    /// first piece. In the second case the cipher may run far ahead meanwhile, holding up to aheadBytes.
    enum class Check { asItGoes, doneByCaller };
    static constexpr std::size_t aheadBytes = std::size_t{8} << 20;

    /// Where the Base64 is done. AES sets the pace of a large note, since each block waits for the one before. A
    /// caller that only writes the pieces out encodes them itself (byCaller), so that the cipher's thread runs AES
    /// alone; one that also reads each piece back and checks it leaves the Base64 to the cipher's thread.
    enum class Encode { withCipher, byCaller };

    /// No value when the cipher cannot be made (the password is not well-formed UTF-8). The text must outlive it,
    /// and so must the observer, which makes the caller's thread do the Base64 so that it sees the ciphertext.
    [[nodiscard]] static std::optional<NoteEncryptor> make(std::string_view text, std::string_view password,
                                                           ByteView iv, Check check = Check::asItGoes,
                                                           Encode encode = Encode::withCipher,
                                                           StageObserver* observer = nullptr);

    /// The size of the whole file text, in characters.
    [[nodiscard]] std::size_t fileTextSize() const noexcept;

    /// How many bytes of the note are done with: encrypted, checked and given out as file text.
    [[nodiscard]] std::size_t plainBytesDone() const noexcept { return m_encoded; }

    /// The next piece of file text, valid until the next call; empty once all is given. No value when the note
    /// turns out not to be well-formed UTF-8 or the cipher fails.
    [[nodiscard]] std::optional<std::string_view> next();

    /// Why next gave no value: notText when the note is not well-formed UTF-8, else notEncrypted.
    [[nodiscard]] FailureCause failureCause() const noexcept {
        return m_notText ? FailureCause::notText : FailureCause::notEncrypted;
    }

private:
    NoteEncryptor(std::string_view text, CbcStream cipher, Check check, Encode encode);

    std::string_view m_text;
    Check m_check;
    std::unique_ptr<char[]> m_fileText; // the piece of file text given out, when the caller's thread encodes
    std::unique_ptr<PiecesAhead> m_pieces;
    std::size_t m_encoded = 0; // plain bytes whose ciphertext has been given out
    std::size_t m_checked = 0; // the well-formed UTF-8 prefix found so far
    bool m_done = false;
    bool m_notText = false;
    StageObserver* m_observer = nullptr;
};

/// Receives plain bytes as they are decrypted; returns false to stop.
using PlainSink = std::function<bool(ByteView)>;

/// Decodes and decrypts a file text given a piece at a time (pieces of any size), handing on the plain bytes.
class NoteDecryptor {
public:
    /// No value when the cipher cannot be made (the password is not well-formed UTF-8). The observer, if any,
    /// must outlive it.
    [[nodiscard]] static std::optional<NoteDecryptor> make(std::string_view password, ByteView iv,
                                                           StageObserver* observer = nullptr);

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

/// Opens a note whose file text arrives a piece at a time (read from a file or a pipe), so that the file text is
/// never held whole: decodes, decrypts and checks the UTF-8 of each piece as it comes.
class NoteOpener {
public:
    /// What the opener ends with: the whole note, refused from the first piece that is not well-formed UTF-8 (so
    /// that garbage is never decrypted to its end), or the well-formed prefix of whatever decrypts (finishPrefix).
    enum class Keep { wholeNote, wellFormedPrefix };

    /// No value when the cipher cannot be made. With the file text's size known, the note is given room at once.
    /// The observer, if any, must outlive it.
    [[nodiscard]] static std::optional<NoteOpener> make(std::string_view password, ByteView iv,
                                                        std::size_t fileTextSize = 0, Keep keep = Keep::wholeNote,
                                                        StageObserver* observer = nullptr);

    /// The next piece of file text; false once it is refused (Base64 rejected, cipher failure, or for the whole
    /// note, decrypted bytes that are not well-formed UTF-8).
    [[nodiscard]] bool feed(std::string_view piece);

    /// Ends the file text: the note, or why not (decryptWhole's failure for a note that does not decrypt whole
    /// to well-formed UTF-8, or notANote's when no password can open it).
    [[nodiscard]] Result<std::string> finish();

    /// Why the file text was refused: notANote's failure once the file text shows that no password can open it,
    /// else wrongPasswordOrDamaged's. Feeding the rest after a refusal, then finish, tells more.
    [[nodiscard]] Failure refusal() const;
    /// Whether the file text has already shown that no password can open it.
    [[nodiscard]] bool refusedForGood() const noexcept { return m_decryptor.cannotBeANote(); }

    /// Ends the file text like finish, but keeps the well-formed UTF-8 prefix of a note that is not (decrypt, with
    /// Keep::wellFormedPrefix); no value when the Base64 is rejected or the cipher fails.
    [[nodiscard]] std::optional<std::string> finishPrefix();

    NoteOpener(NoteOpener&&) noexcept = default;
    NoteOpener& operator=(NoteOpener&&) noexcept = default;
    /// Wipes what was decrypted, unless it was handed over.
    ~NoteOpener();

private:
    NoteOpener(NoteDecryptor decryptor, Keep keep);
    bool append(ByteView plain);
    bool end();
    void wipe() noexcept;

    NoteDecryptor m_decryptor;
    Keep m_keep;
    std::string m_note;
    std::size_t m_wellFormed = 0;
};

/// Checks a file text read back a piece at a time against the note it must hold: exactly the layout encrypt
/// writes, decrypting under the password to exactly the note. Passing means the file text is byte for byte
/// what encrypt gives, without a copy of it to compare with.
class NoteVerifier {
public:
    /// No value when the cipher cannot be made. The text must outlive it.
    [[nodiscard]] static std::optional<NoteVerifier> make(std::string_view text, std::string_view password,
                                                          ByteView iv);

    /// The next piece of file text; false once it cannot be the note's.
    [[nodiscard]] bool feed(std::string_view piece);

    /// Whether all that was fed is exactly the note's file text.
    [[nodiscard]] bool finish();

private:
    NoteVerifier(std::string_view text, NoteDecryptor decryptor);
    bool compare(ByteView plain);

    std::string_view m_text;
    NoteDecryptor m_decryptor;
    std::size_t m_expectedChars;
    std::size_t m_seenChars = 0;
    std::size_t m_matched = 0;
    bool m_failed = false;
};

} // namespace cipher
