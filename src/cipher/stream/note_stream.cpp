#include "note_stream.h"

#include "cipher/encoding/utf8.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace cipher {

Failure wrongPasswordOrDamaged() {
    return Failure{FailureCause::wrongPasswordOrDamaged};
}

Failure notANote() {
    return Failure{FailureCause::notANote};
}

namespace {

constexpr std::size_t blockSize = 16;
// File text is decoded in pieces of at most this many characters.
constexpr std::size_t decodePieceChars = 64 * 1024;

// Asks for the next piece to be brought into cache while the cipher works on this one, which takes longer than
// reading it from memory: the first pass over a large note then no longer waits for memory.
void prefetch(const void* data, std::size_t size) noexcept {
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t offset = 0; offset < size; offset += 64) {
        __builtin_prefetch(bytes + offset, 0, 3);
    }
}

constexpr std::size_t cipherSizeFor(std::size_t plainSize) noexcept {
    return plainSize / blockSize * blockSize + blockSize;
}

// Encrypts the plain bytes a piece at a time, the last piece with its padding, and encodes the ciphertext as lines
// of file text unless the reader does that.
class PieceEncryptor final : public PieceMaker {
public:
    PieceEncryptor(ByteView plain, CbcStream cipher, std::size_t pieceBytes, NoteEncryptor::Encode encode)
        : m_plain(plain), m_cipher(std::move(cipher)), m_pieceBytes(pieceBytes),
          m_cipherBytes(encode == NoteEncryptor::Encode::withCipher ? new std::uint8_t[pieceBytes + blockSize]
                                                                    : nullptr) {}

    std::optional<std::size_t> make(std::uint8_t* out) override {
        if (m_done) {
            return 0;
        }
        const bool last = m_plain.size() - m_encrypted <= m_pieceBytes;
        const std::size_t size = last ? m_plain.size() - m_encrypted : m_pieceBytes;
        // Without Base64 to do here, the ciphertext goes straight into the reader's slot.
        std::uint8_t* cipherBytes = m_cipherBytes ? m_cipherBytes.get() : out;
        std::optional<std::size_t> produced = m_cipher.update(m_plain.subspan(m_encrypted, size), cipherBytes);
        if (produced && last) {
            const std::optional<std::size_t> padding = m_cipher.finish(cipherBytes + *produced);
            produced = padding ? std::optional<std::size_t>(*produced + *padding) : std::nullopt;
        }
        m_encrypted += size;
        m_done = last;
        if (!produced || !m_cipherBytes) {
            return produced;
        }
        char* chars = reinterpret_cast<char*>(out);
        return static_cast<std::size_t>(base64EncodePiece(ByteView(cipherBytes, *produced), last, chars) - chars);
    }

private:
    ByteView m_plain;
    CbcStream m_cipher;
    std::size_t m_pieceBytes;
    std::size_t m_encrypted = 0;
    bool m_done = false;
    std::unique_ptr<std::uint8_t[]> m_cipherBytes;
};

} // namespace

NoteEncryptor::NoteEncryptor(std::string_view text, CbcStream cipher, Check check, Encode encode)
    : m_text(text), m_check(check),
      m_fileText(encode == Encode::byCaller ? new char[base64EncodedSize(pieceBytes + blockSize)] : nullptr) {
    // A few pieces ahead smooth out the two threads' hiccups; while the caller checks all of the note first, the
    // cipher may run further ahead.
    const std::size_t ahead = check == Check::doneByCaller ? std::min(aheadBytes, text.size()) / pieceBytes + 1 : 8;
    const std::size_t slotBytes =
        encode == Encode::byCaller ? pieceBytes + blockSize : base64EncodedSize(pieceBytes + blockSize);
    auto maker = std::make_unique<PieceEncryptor>(asBytes(text), std::move(cipher), pieceBytes, encode);
    m_pieces = std::make_unique<PiecesAhead>(std::move(maker), slotBytes, static_cast<std::uint32_t>(ahead),
                                             threadFor(text.size()), PiecesAhead::Content::plain);
}

std::optional<NoteEncryptor> NoteEncryptor::make(std::string_view text, const NoteFormat& format, Check check,
                                                 Encode encode) {
    std::optional<CbcStream> cipher = format.cipher(true);
    if (!cipher) {
        return std::nullopt;
    }
    StageObserver* observer = format.observer();
    NoteEncryptor encryptor(text, std::move(*cipher), check, observer ? Encode::byCaller : encode);
    encryptor.m_observer = observer;
    return encryptor;
}

std::size_t NoteEncryptor::fileTextSize() const noexcept {
    return base64EncodedSize(cipherSizeFor(m_text.size()));
}

Result<std::string_view> NoteEncryptor::next() {
    if (m_done) {
        return std::string_view();
    }
    const ByteView plain = asBytes(m_text);
    const bool last = plain.size() - m_encoded <= pieceBytes;
    const std::size_t end = last ? plain.size() : m_encoded + pieceBytes;
    // The piece given last time is done with.
    m_pieces->release();
    // Waited for first: the cipher has just read the piece, so checking it now finds it in cache.
    const std::optional<ByteView> piece = m_pieces->acquire();
    if (!piece || piece->empty()) {
        return Failure{FailureCause::notEncrypted};
    }
    if (m_check == Check::asItGoes) {
        // A sequence cut by the end of the piece is checked again with the next one; an error never moves on.
        m_checked += wellFormedUtf8PrefixLength(plain.subspan(m_checked, end - m_checked));
        if (last ? m_checked != end : end - m_checked > 3) {
            return Failure{FailureCause::notText};
        }
    }
    m_encoded = end;
    m_done = last;
    const std::string_view fileText =
        m_fileText ? std::string_view(
                         m_fileText.get(),
                         static_cast<std::size_t>(base64EncodePiece(*piece, last, m_fileText.get()) - m_fileText.get()))
                   : asText(*piece);
    if (m_observer != nullptr) {
        m_observer->cipherBytes(*piece);
        m_observer->fileText(fileText);
        if (last) {
            m_observer->encryptionEnded();
        }
    }
    return fileText;
}

NoteDecryptor::NoteDecryptor(CbcStream cipher, StageObserver* observer)
    : m_cipher(std::move(cipher)), m_cipherBytes(new std::uint8_t[Base64Decoder::maxDecodedSize(decodePieceChars)]),
      m_plain(Base64Decoder::maxDecodedSize(decodePieceChars) + blockSize), m_observer(observer) {}

std::optional<NoteDecryptor> NoteDecryptor::make(const NoteFormat& format, StageObserver* observer) {
    std::optional<CbcStream> cipher = format.cipher(false);
    if (!cipher) {
        if (observer != nullptr) {
            observer->decryptionFailed(StageObserver::Stage::key);
        }
        return std::nullopt;
    }
    return NoteDecryptor(std::move(*cipher), observer);
}

bool NoteDecryptor::failed(StageObserver::Stage stage) {
    if (m_observer != nullptr) {
        m_observer->decryptionFailed(stage);
    }
    m_failed = true;
    return false;
}

// A sink that stops is no failure of the cipher, so the observer is not told.
bool NoteDecryptor::decrypt(std::size_t cipherSize, const PlainSink& sink) {
    m_cipherTotal += cipherSize;
    const ByteView cipherBytes(m_cipherBytes.get(), cipherSize);
    const std::optional<std::size_t> produced = m_cipher.update(cipherBytes, m_plain.data());
    if (!produced) {
        return failed(StageObserver::Stage::cipher);
    }
    const ByteView plain(m_plain.data(), *produced);
    if (m_observer != nullptr) {
        m_observer->cipherBytes(cipherBytes);
        m_observer->plainBytes(plain);
    }
    const bool taken = sink(plain);
    cleanse(m_plain.data(), *produced);
    m_failed = !taken;
    return taken;
}

bool NoteDecryptor::feed(std::string_view piece, const PlainSink& sink) {
    for (std::size_t pos = 0; pos < piece.size() && !m_notANote && !m_ended; pos += decodePieceChars) {
        const std::optional<std::size_t> size =
            m_decoder.feed(piece.substr(pos, decodePieceChars), m_cipherBytes.get());
        if (const std::size_t next = pos + decodePieceChars; next < piece.size()) {
            prefetch(piece.data() + next, std::min(decodePieceChars, piece.size() - next));
        }
        if (!size) {
            m_notANote = true;
            return m_failed ? false : failed(StageObserver::Stage::base64);
        }
        if (m_failed) {
            // Refused already: only the length of the ciphertext is still of interest.
            m_cipherTotal += *size;
        } else {
            (void)decrypt(*size, sink);
        }
    }
    return !m_failed && !m_ended;
}

bool NoteDecryptor::finish(const PlainSink& sink) {
    if (m_notANote || m_ended) {
        return false;
    }
    m_ended = true;
    const std::optional<std::size_t> size = m_decoder.finish(m_cipherBytes.get());
    if (!size) {
        m_notANote = true;
        return m_failed ? false : failed(StageObserver::Stage::base64);
    }
    if (m_failed) {
        m_cipherTotal += *size;
        m_notANote = m_cipherTotal == 0 || m_cipherTotal % blockSize != 0;
        return false;
    }
    const bool decrypted = decrypt(*size, sink);
    // No password turns these into a note; CBC's blocks are whole.
    m_notANote = m_cipherTotal == 0 || m_cipherTotal % blockSize != 0;
    if (!decrypted) {
        return false;
    }
    const std::optional<std::size_t> last = m_notANote ? std::nullopt : m_cipher.finish(m_plain.data());
    if (!last) {
        return failed(StageObserver::Stage::cipher);
    }
    if (m_observer != nullptr) {
        m_observer->plainBytes(ByteView(m_plain.data(), *last));
    }
    const bool taken = sink(ByteView(m_plain.data(), *last));
    cleanse(m_plain.data(), *last);
    m_failed = !taken;
    return taken;
}

NoteOpener::NoteOpener(NoteDecryptor decryptor, NoteSink& note, bool watched)
    : m_decryptor(std::move(decryptor)), m_note(&note), m_watched(watched) {}

std::optional<NoteOpener> NoteOpener::make(const NoteFormat& format, NoteSink& note, std::size_t fileTextSize) {
    std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(format);
    if (!decryptor) {
        return std::nullopt;
    }
    // Plaintext is never longer than the ciphertext.
    if (fileTextSize != 0) {
        note.expect(Base64Decoder::maxDecodedSize(fileTextSize));
    }
    return NoteOpener(std::move(*decryptor), note, format.observer() != nullptr);
}

bool NoteOpener::take(ByteView plain) {
    // A sequence cut by the end of a piece is checked with the next; more than that is no note, and the rest need not
    // be decrypted to say so, unless a trace is to show all of it.
    m_wellFormed = m_wellFormed && m_text.feed(plain);
    if (!m_wellFormed || m_stopped) {
        return m_watched && !m_stopped;
    }
    m_stopped = !m_note->take(asText(plain));
    return !m_stopped;
}

bool NoteOpener::feed(std::string_view piece) {
    return m_decryptor.feed(piece, [this](ByteView plain) { return take(plain); }) && (m_wellFormed || m_watched);
}

Result<Done> NoteOpener::finish() {
    const bool ended = m_decryptor.finish([this](ByteView plain) { return take(plain); });
    if (!ended || !m_wellFormed || m_stopped || !m_text.finish()) {
        return refusal();
    }
    return Done{};
}

Failure NoteOpener::refusal() const {
    return m_decryptor.cannotBeANote() ? notANote() : wrongPasswordOrDamaged();
}

NoteVerifier::NoteVerifier(std::string_view text, NoteDecryptor decryptor)
    : m_text(text), m_decryptor(std::move(decryptor)), m_expectedChars(base64EncodedSize(cipherSizeFor(text.size()))) {}

std::optional<NoteVerifier> NoteVerifier::make(std::string_view text, const NoteFormat& format) {
    std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(format, nullptr);
    if (!decryptor) {
        return std::nullopt;
    }
    return NoteVerifier(text, std::move(*decryptor));
}

bool NoteVerifier::compare(ByteView plain) {
    return matchesNext(m_text, m_matched, asText(plain));
}

bool NoteVerifier::feed(std::string_view piece) {
    if (m_failed || piece.size() > m_expectedChars - m_seenChars) {
        m_failed = true;
        return false;
    }
    // The decoder skips what is not Base64, so the line breaks are checked here: CR LF after every 64 characters.
    const std::size_t start = m_seenChars;
    const std::size_t stop = start + piece.size();
    std::size_t breakAt = start / base64LineChars * base64LineChars + 64;
    for (; breakAt < stop; breakAt += base64LineChars) {
        for (std::size_t at = breakAt; at < breakAt + 2; ++at) {
            if (at >= start && at < stop && piece[at - start] != (at == breakAt ? '\r' : '\n')) {
                m_failed = true;
                return false;
            }
        }
    }
    m_seenChars = stop;
    m_failed = !m_decryptor.feed(piece, [this](ByteView plain) { return compare(plain); });
    return !m_failed;
}

bool NoteVerifier::finish() {
    // With the size and the line breaks right, every other character had to be Base64 for the bytes to decrypt.
    const bool whole = !m_failed && m_seenChars == m_expectedChars &&
                       m_decryptor.finish([this](ByteView plain) { return compare(plain); }) &&
                       m_matched == m_text.size();
    m_failed = true;
    return whole;
}

} // namespace cipher
