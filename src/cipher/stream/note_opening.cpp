#include "note_opening.h"

#include "cipher/encoding/utf8.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace cipher {

namespace {

constexpr std::size_t maxReservedNote = std::size_t{1} << 30;

// A source read a piece at a time with its UTF-8 checked as it goes: a file text that is not text is no note,
// whatever the decoder would skip.
class TextReading {
public:
    explicit TextReading(PieceSource& source) : m_source(source) {}

    /// The next piece; none at the end, when the source cannot be read, or from the first piece that is not text.
    std::optional<std::string_view> next() {
        const std::optional<std::string_view> piece = m_source.next();
        m_unreadable = !piece;
        if (!piece || piece->empty() || !m_isText) {
            return std::nullopt;
        }
        m_isText = m_text.feed(asBytes(*piece));
        return m_isText ? piece : std::nullopt;
    }

    [[nodiscard]] bool unreadable() const noexcept { return m_unreadable; }
    /// Whether all that was read is text, a sequence cut by the last piece read excepted.
    [[nodiscard]] bool textSoFar() const noexcept { return m_isText; }
    /// Whether all that was read is text, the end cutting no sequence.
    [[nodiscard]] bool wellFormed() const noexcept { return m_isText && m_text.finish(); }

private:
    PieceSource& m_source;
    Utf8Checker m_text;
    bool m_isText = true;
    bool m_unreadable = false;
};

} // namespace

void NoteText::expect(std::size_t bytes) {
    if (m_note.empty()) {
        m_note.reserve(std::min(bytes, maxReservedNote));
        preferHugePages(m_note.data(), m_note.capacity());
    }
}

bool NoteText::take(std::string_view piece) {
    if (piece.size() > m_note.capacity() - m_note.size()) {
        // Moved by hand, so that the old buffer is wiped before it is released.
        std::string larger;
        larger.reserve(std::max(2 * m_note.capacity(), m_note.size() + piece.size()));
        preferHugePages(larger.data(), larger.capacity());
        larger.append(m_note);
        wipe();
        m_note.swap(larger);
    }
    m_note.append(piece);
    return true;
}

std::string NoteText::release() noexcept {
    return std::exchange(m_note, std::string());
}

void NoteText::wipe() noexcept {
    cleanse(m_note.data(), m_note.size());
    m_note.clear();
}

Result<Done> openNote(PieceSource& fileText, const NoteFormat& format, NoteSink& note) {
    StageObserver* const observer = format.observer();
    std::optional<NoteOpener> opener = NoteOpener::make(format, note, fileText.size());
    TextReading reading(fileText);
    // Whichever shows first ends the reading: a piece that is not text, or one the opener refuses. A garbage or
    // endless file is then refused after a piece or two, not decrypted whole.
    bool accepted = opener.has_value();
    while (accepted) {
        const std::optional<std::string_view> piece = reading.next();
        if (!piece) {
            break;
        }
        accepted = opener->feed(*piece);
    }
    // The trace tells of a file text that is text all through, so the rest of a refused one is checked too; and one
    // refused as under a wrong password is decoded on to its end (no longer decrypted), to tell whether any password
    // could open it, when it has an end.
    const bool readToEnd =
        accepted || observer != nullptr || (opener && !opener->refusedForGood() && fileText.size() != 0);
    while (!accepted && readToEnd) {
        const std::optional<std::string_view> piece = reading.next();
        if (!piece) {
            break;
        }
        if (opener && observer == nullptr) {
            (void)opener->feed(*piece);
        }
    }
    if (reading.unreadable()) {
        return Failure{FailureCause::unreadable};
    }
    // Refused in the middle, the file text may still end in a sequence cut by the piece; only at its end must it not.
    if (!reading.textSoFar() || (readToEnd && !reading.wellFormed())) {
        return Failure{FailureCause::notText};
    }
    Result<Done> opened = !opener                 ? Result<Done>(wrongPasswordOrDamaged())
                          : accepted || readToEnd ? opener->finish()
                                                  : Result<Done>(opener->refusal());
    if (observer != nullptr) {
        observer->decryptionEnded(opened.ok());
    }
    return opened;
}

} // namespace cipher
