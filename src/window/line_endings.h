#pragma once

#include <QByteArrayView>

namespace window {

/// How a line break the user types is written into a note.
enum class LineEnding { Lf, CrLf, Cr };

/// The line ending most of the note's line breaks use ("\r\n" counting once, as one CR LF); LF for a note with none
/// and on a tie with LF, CR LF on a tie between CR LF and CR.
[[nodiscard]] LineEnding dominantLineEnding(QByteArrayView utf8);

} // namespace window
