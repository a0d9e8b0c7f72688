#pragma once

#include <QLabel>

class QPlainTextEdit;
class QTextCursor;

namespace window {

/// A status bar label that shows where the cursor of a text view is, as "Line 3, Column 14", kept up to date.
class CursorPositionLabel final : public QLabel {
    Q_OBJECT

public:
    /// Follows the cursor of textView, which must outlive the label.
    explicit CursorPositionLabel(QPlainTextEdit* textView, QWidget* parent = nullptr);

    /// The 1-based line (paragraph, whatever the wrapping) and column of the cursor's position. Columns count the
    /// characters the user sees: an emoji or a letter with a combining accent is one column.
    [[nodiscard]] static QString positionText(const QTextCursor& cursor);

private:
    void showPosition();

    QPlainTextEdit* m_textView;
};

} // namespace window
