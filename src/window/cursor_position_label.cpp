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
    connect(m_textView, &NoteTextView::textAboutToChange, this, [this](qsizetype from) {
        if (from <= m_countedEnd) {
            m_countedLine = -1;
        }
    });
    showPosition();
}

void CursorPositionLabel::showPosition() {
    const qsizetype caret = m_textView->caret();
    const auto [line, lineStart] = m_textView->lineAt(caret);
    // The user counts what the arrow keys step over, which are grapheme clusters: a character of several bytes, or a
    // base letter with its combining marks, is one step. The line is counted again only where the text before the
    // caret changed or the caret went back: a keystroke far into a line of megabytes counts the few bytes since the
    // last place a cluster surely ended.
    if (m_countedLine != lineStart || caret < m_countedEnd) {
        m_countedLine = lineStart;
        m_countedEnd = lineStart;
        m_countedClusters = 0;
    }
    const SureClusterCount more = sureClusterCount(m_textView->bytes(m_countedEnd, caret));
    const qsizetype column = m_countedClusters + more.clusters + more.restClusters + 1;
    m_countedEnd += more.end;
    m_countedClusters += more.clusters;
    setText(tr("Line %1, Column %2").arg(line + 1).arg(column));
}

} // namespace window
