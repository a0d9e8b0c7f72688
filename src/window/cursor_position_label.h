#pragma once

#include <QByteArrayView>
#include <QLabel>

namespace window {

class NoteTextView;

/// A status bar label that shows where the caret of a text view is, as "Line 3, Column 14", kept up to date. Columns
/// count the characters the user sees: an emoji or a letter with a combining accent is one column.
class CursorPositionLabel final : public QLabel {
    Q_OBJECT

public:
    /// Follows the caret of textView, which must outlive the label.
    explicit CursorPositionLabel(NoteTextView* textView, QWidget* parent = nullptr);

private:
    void showPosition();

    NoteTextView* m_textView;
    // The start of the line counted so far (-1 for none), how far, and the clusters up to there.
    qsizetype m_countedLine = -1;
    qsizetype m_countedEnd = 0;
    qsizetype m_countedClusters = 0;
};

} // namespace window
