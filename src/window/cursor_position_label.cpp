#include "window/cursor_position_label.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>

namespace window {

CursorPositionLabel::CursorPositionLabel(QPlainTextEdit* textView, QWidget* parent)
    : QLabel(parent), m_textView(textView) {
    setObjectName(QStringLiteral("cursorPosition"));
    setTextFormat(Qt::PlainText);
    setContentsMargins(8, 0, 8, 0);
    connect(m_textView, &QPlainTextEdit::cursorPositionChanged, this, &CursorPositionLabel::showPosition);
    showPosition();
}

QString CursorPositionLabel::positionText(const QTextCursor& cursor) {
    // positionInBlock counts UTF-16 units; the user counts what the arrow keys step over, which are grapheme
    // clusters: a surrogate pair or a base letter with its combining marks is one step.
    const QString before = cursor.block().text().left(cursor.positionInBlock());
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, before);
    int column = 1;
    while (clusters.toNextBoundary() != -1) {
        ++column;
    }
    return tr("Line %1, Column %2").arg(cursor.blockNumber() + 1).arg(column);
}

void CursorPositionLabel::showPosition() {
    setText(positionText(m_textView->textCursor()));
}

} // namespace window
