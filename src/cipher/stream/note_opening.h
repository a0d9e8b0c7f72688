#pragma once

#include "cipher/base/result.h"
#include "note_format.h"
#include "note_stream.h"
#include "piece_source.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace cipher {

/// A NoteSink that collects the note into one string, for a caller that holds it whole (the command-line tool, a
/// recovery copy's about file). What it holds is wiped unless handed over.
class NoteText final : public NoteSink {
public:
    NoteText() = default;
    NoteText(const NoteText&) = delete;
    NoteText& operator=(const NoteText&) = delete;
    ~NoteText() override { wipe(); }

    /// Makes room for the note at once, so that it never moves; a size far beyond any note (a sparse or garbage
    /// file) gets room to start with, not all it could hold.
    void expect(std::size_t bytes) override;
    [[nodiscard]] bool take(std::string_view piece) override;

    /// The note collected so far.
    [[nodiscard]] std::string_view text() const noexcept { return m_note; }
    /// Hands the note over, leaving this empty.
    [[nodiscard]] std::string release() noexcept;
    /// Wipes and drops what was collected.
    void wipe() noexcept;

private:
    std::string m_note;
};

/// Why a source's file text is not text, in the words every reader uses.
inline constexpr std::string_view notTextWords = "it is not a note file (not text)";

/// Opens the note whose file text the source gives, whatever the source (a whole text, a file, a pipe): reads it
/// once, a piece at a time, checks that it is UTF-8 text, decrypts each piece as it comes and hands the note to
/// the sink. Stops at the first piece that shows the file text refused. A source that knows its size (a file) is
/// then decoded on to its end, no longer decrypted, to tell whether any password could open it; a pipe, which may
/// never end, is not. With the format's observer (a trace) on, a refused file text is read to its end, so that
/// the trace tells only of one that is text all through, and the observer is told how the opening ended. Fails
/// with cause other when the source cannot be read (the source says why), notText, notANote, or
/// wrongPasswordOrDamaged.
[[nodiscard]] Result<Done> openNote(PieceSource& fileText, const NoteFormat& format, NoteSink& note);

} // namespace cipher
