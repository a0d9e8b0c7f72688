#include "window/cursor_position_label.h"

#include "window/note_text_view.h"

#include <QTextBoundaryFinder>

#include <algorithm>

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
    // or a base letter with its combining marks, is one step. In plain ASCII every byte is one, which spares a
    // caret at the end of a line of megabytes from a scan at every move.
    qsizetype column = lineBeforeCaret.size() + 1;
    if (!std::all_of(lineBeforeCaret.begin(), lineBeforeCaret.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, QString::fromUtf8(lineBeforeCaret));
        column = 1;
        while (clusters.toNextBoundary() != -1) {
            ++column;
        }
    }
    return tr("Line %1, Column %2").arg(line + 1).arg(column);
}

void CursorPositionLabel::showPosition() {
    const qsizetype caret = m_textView->caret();
    const auto [line, lineStart] = m_textView->lineAt(caret);
    setText(positionText(line, m_textView->bytes(lineStart, caret)));
}

} // namespace window
