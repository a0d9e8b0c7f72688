#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

class QTextDocument;

namespace window {

/// How the lines of a note end on disk.
enum class LineEnding { Lf, CrLf, Cr };

/// The line ending a note uses throughout, from its UTF-8: CrLf when every line break is "\r\n", Cr when every one
/// is a lone "\r", and Lf otherwise: LF throughout, no line break at all, or a mix of kinds (saved with LF).
[[nodiscard]] LineEnding lineEndingOf(QByteArrayView utf8);

/// Whether the text view's document starts a new line at c: "\n", "\r" (with "\r\n" counting once), U+2029 and
/// the frame marks U+FDD0 and U+FDD1. The document keeps none of them, only the fact of a line break.
[[nodiscard]] bool isLineBreak(QChar c);

/// The text with each line break (as isLineBreak counts them) written as ending; everything else unchanged.
[[nodiscard]] QString withLineEnding(QStringView text, LineEnding ending);

/// The UTF-8 bytes of the document's whole text, its line breaks written as ending. Made a line at a time, without
/// a copy of the whole text; each line's copy is wiped.
[[nodiscard]] QByteArray documentUtf8(const QTextDocument& document, LineEnding ending);

} // namespace window
