#pragma once

#include <QByteArrayView>
#include <QLabel>

namespace window {

class NoteTextView;

/// A status bar label that shows where the caret of a text view is, as "Line 3, Column 14", kept up to date.
class CursorPositionLabel final : public QLabel {
    Q_OBJECT

public:
    /// Follows the caret of textView, which must outlive the label.
    explicit CursorPositionLabel(NoteTextView* textView, QWidget* parent = nullptr);

    /// The text for a caret on the 0-based line, after lineBeforeCaret (UTF-8) on it. Columns count the characters
    /// the user sees: an emoji or a letter with a combining accent is one column.
    [[nodiscard]] static QString positionText(qsizetype line, QByteArrayView lineBeforeCaret);

private:
    void showPosition();

    NoteTextView* m_textView;
};

} // namespace window
