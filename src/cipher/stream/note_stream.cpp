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

} // namespace

// Encrypts the note a piece at a time, the last piece with its padding, and encodes the ciphertext as lines of file
// text unless the reader does that. A note the source holds is read where it lies, so that this may run on a second
// thread; any other is copied in from the source, on the reader's thread.
class PieceEncryptor final : public PieceMaker {
public:
    /// The note's bytes in one piece, and whether they are the last.
    struct Plain {
        ByteView bytes;
        bool last = false;
    };

    PieceEncryptor(PieceSource& source, CbcStream cipher, bool encodes)
        : m_source(&source), m_held(source.held()), m_cipher(std::move(cipher)),
          m_cipherBytes(encodes ? new std::uint8_t[NoteEncryptor::pieceBytes + blockSize] : nullptr),
          m_copied(m_held ? 0 : NoteEncryptor::pieceBytes) {}

    std::optional<std::size_t> make(std::uint8_t* out) override {
        if (m_ended) {
            return 0;
        }
        if (!m_held && !fill()) {
            m_failure = FailureCause::unreadable;
            return std::nullopt;
        }
        const Plain plain = plainOf(m_made++);
        // Without Base64 to do here, the ciphertext goes straight into the reader's slot.
        std::uint8_t* cipherBytes = m_cipherBytes ? m_cipherBytes.get() : out;
        std::optional<std::size_t> produced = m_cipher.update(plain.bytes, cipherBytes);
        if (produced && plain.last) {
            const std::optional<std::size_t> padding = m_cipher.finish(cipherBytes + *produced);
            produced = padding ? std::optional<std::size_t>(*produced + *padding) : std::nullopt;
        }
        m_ended = plain.last;
        if (!produced || !m_cipherBytes) {
            return produced;
        }
        char* chars = reinterpret_cast<char*>(out);
        return static_cast<std::size_t>(base64EncodePiece(ByteView(cipherBytes, *produced), plain.last, chars) - chars);
    }

    /// The plain bytes of the index-th piece: of a held note at any time, of a copied one while it is the piece
    /// last made.
    [[nodiscard]] Plain plainOf(std::size_t index) const noexcept {
        if (!m_held) {
            return {ByteView(m_copied.data(), m_used), m_sourceEnded};
        }
        const ByteView note = asBytes(*m_held);
        const std::size_t start = std::min(index * NoteEncryptor::pieceBytes, note.size());
        const std::size_t size = std::min(NoteEncryptor::pieceBytes, note.size() - start);
        return {note.subspan(start, size), note.size() - start <= NoteEncryptor::pieceBytes};
    }

    [[nodiscard]] bool holdsTheNote() const noexcept { return m_held.has_value(); }
    /// Why make failed: the source could not be read, else the cipher failed.
    [[nodiscard]] FailureCause failure() const noexcept { return m_failure; }

private:
    // Fills the piece from the source, up to its end; false when the source cannot be read. Only a piece the
    // source's end cut short is the last: a full one is followed by one that holds the padding alone, which gives
    // the same file text.
    bool fill() {
        cleanse(m_copied.data(), m_used);
        m_used = 0;
        while (m_used < m_copied.size() && !m_sourceEnded) {
            if (m_pending.empty()) {
                const std::optional<std::string_view> piece = m_source->next();
                if (!piece) {
                    return false;
                }
                m_pending = *piece;
                m_sourceEnded = piece->empty();
            }
            const std::size_t size = std::min(m_pending.size(), m_copied.size() - m_used);
            std::memcpy(m_copied.data() + m_used, m_pending.data(), size);
            m_pending.remove_prefix(size);
            m_used += size;
        }
        return true;
    }

    PieceSource* m_source;
    std::optional<std::string_view> m_held;
    CbcStream m_cipher;
    std::unique_ptr<std::uint8_t[]> m_cipherBytes;
    std::size_t m_made = 0;
    bool m_ended = false;
    FailureCause m_failure = FailureCause::notEncrypted;
    // A note that is not held: the piece copied in, and what the source gave beyond it.
    SecureBytes m_copied;
    std::size_t m_used = 0;
    std::string_view m_pending;
    bool m_sourceEnded = false;
};

NoteEncryptor::NoteEncryptor(PieceSource& note, CbcStream cipher, Sharing sharing, StageObserver* observer)
    : m_noteSize(note.size()), m_checks(sharing != Sharing::encodeHereChecked), m_observer(observer) {
    const bool encodesHere = sharing != Sharing::encodeAhead || observer != nullptr;
    auto maker = std::make_unique<PieceEncryptor>(note, std::move(cipher), !encodesHere);
    m_maker = maker.get();
    if (encodesHere) {
        m_fileText.reset(new char[base64EncodedSize(pieceBytes + blockSize)]);
    }
    // A note that is not held is made on this thread: its pieces are copied in as they are asked for. A few pieces
    // ahead smooth out the two threads' hiccups; while the caller checks all of the note first, the cipher may run
    // further ahead.
    const PiecesAhead::Thread thread = m_maker->holdsTheNote() ? threadFor(m_noteSize) : PiecesAhead::Thread::calling;
    const std::size_t ahead = m_checks ? 8 : std::min(aheadBytes, m_noteSize) / pieceBytes + 1;
    const std::size_t slotBytes = encodesHere ? pieceBytes + blockSize : base64EncodedSize(pieceBytes + blockSize);
    m_pieces = std::make_unique<PiecesAhead>(std::move(maker), slotBytes, static_cast<std::uint32_t>(ahead), thread,
                                             PiecesAhead::Content::plain);
}

std::optional<NoteEncryptor> NoteEncryptor::make(PieceSource& note, const NoteFormat& format, Sharing sharing) {
    std::optional<CbcStream> cipher = format.cipher(true);
    if (!cipher) {
        return std::nullopt;
    }
    return NoteEncryptor(note, std::move(*cipher), sharing, format.observer());
}

std::size_t NoteEncryptor::fileTextSize() const noexcept {
    return base64EncodedSize(cipherSizeFor(m_noteSize));
}

Result<std::string_view> NoteEncryptor::failed(FailureCause cause) {
    m_failure = cause;
    return Failure{cause};
}

Result<std::string_view> NoteEncryptor::next() {
    if (m_failure) {
        return Failure{*m_failure};
    }
    if (m_done) {
        return std::string_view();
    }
    // The piece given last time is done with.
    m_pieces->release();
    // Waited for first: the cipher has just read the piece, so checking it now finds it in cache.
    const std::optional<ByteView> piece = m_pieces->acquire();
    if (!piece || piece->empty()) {
        return failed(m_maker->failure());
    }
    const PieceEncryptor::Plain plain = m_maker->plainOf(m_given++);
    // A sequence cut by the end of the piece is checked with the next one.
    if (m_checks && (!m_text.feed(plain.bytes) || (plain.last && !m_text.finish()))) {
        return failed(FailureCause::notText);
    }
    m_plain = plain.bytes;
    m_plainDone += plain.bytes.size();
    m_done = plain.last;
    const std::string_view fileText =
        m_fileText ? std::string_view(m_fileText.get(),
                                      static_cast<std::size_t>(base64EncodePiece(*piece, plain.last, m_fileText.get()) -
                                                               m_fileText.get()))
                   : asText(*piece);
    if (m_observer != nullptr) {
        m_observer->cipherBytes(*piece);
        m_observer->fileText(fileText);
        if (plain.last) {
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

} // namespace cipher
