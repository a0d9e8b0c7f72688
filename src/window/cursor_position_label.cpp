#include "window/cursor_position_label.h"

#include "window/note_text_view.h"
#include "window/text_runs.h"

namespace window {

CursorPositionLabel::CursorPositionLabel(NoteTextView* textView, QWidget* parent)
    : QLabel(parent), m_textView(textView) {
    setObjectName(QStringLiteral("cursorPosition"));
    setTextFormat(Qt::PlainText);
    setContentsMargins(8, 0, 8, 0);
    connect(m_textView, &NoteTextView::caretMoved, this, &CursorPositionLabel::showPosition);
    showPosition();
}

QString CursorPositionLabel::positionText(qsizetype line, QByteArrayView lineBeforeCaret) {
    // The user counts what the arrow keys step over, which are grapheme clusters: a character of several bytes,
    // or a base letter with its combining marks, is one step. Counting them a character at a time where that is
    // sure spares a caret far into a line of megabytes most of Qt's boundary finder at every keystroke.
    const qsizetype column = graphemeClusterCount(lineBeforeCaret) + 1;
    return tr("Line %1, Column %2").arg(line + 1).arg(column);
}

void CursorPositionLabel::showPosition() {
    const qsizetype caret = m_textView->caret();
    const auto [line, lineStart] = m_textView->lineAt(caret);
    setText(positionText(line, m_textView->bytes(lineStart, caret)));
}

} // namespace window
