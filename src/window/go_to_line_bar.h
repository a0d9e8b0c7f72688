#pragma once

#include <QWidget>

#include <optional>

class QLineEdit;

namespace window {

class NoteTextView;

/// Where Go to Line is asked to go: a 1-based line and, when given, a 1-based column in characters as the status
/// bar counts them.
struct LineAndColumn {
    qsizetype line = 1;
    std::optional<qsizetype> column;
};

/// "12" or "12:5" (spaces allowed around each part) as a line and a column; numbers too large to hold become the
/// largest, which Go to Line clamps to the note. No value for anything else, such as "", "x" or "3:".
[[nodiscard]] std::optional<LineAndColumn> parseLineAndColumn(const QString& text);

/// The byte offset in textView of the line and column wanted, both clamped to the note: a line beyond the last is
/// the last, a column beyond the line's end is its end, 0 counts as 1. Columns count grapheme clusters.
[[nodiscard]] qsizetype positionOf(const NoteTextView& textView, LineAndColumn wanted);

/// The small bar under the note that moves the caret to a line ("line" or "line:column"): Enter goes there and
/// closes the bar, Esc closes it; text it cannot read tints the field and leaves the caret alone.
class GoToLineBar final : public QWidget {
    Q_OBJECT

public:
    /// A hidden bar that moves the caret of textView, which must outlive it.
    explicit GoToLineBar(NoteTextView* textView, QWidget* parent = nullptr);

    /// Shows the bar with the focus in its field, which holds the caret's line.
    void open();
    /// Hides the bar and gives the focus back to the text.
    void dismiss();
    /// Moves the caret to what the field says and closes the bar; false, with the bar left open, when it says
    /// nothing readable.
    bool go();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    NoteTextView* m_textView;
    QLineEdit* m_field = nullptr;
};

} // namespace window
