#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace window {

class NoteTextView;

/// The bar under the note that finds text in it: a field, previous and next, "Match case" and a close button.
/// Searches wrap around the ends of the note and are case-insensitive unless "Match case" is checked; when nothing
/// matches, the bar says so and the cursor stays where it was.
class FindBar final : public QWidget {
    Q_OBJECT

public:
    /// A hidden bar that searches textView, which must outlive it.
    explicit FindBar(NoteTextView* textView, QWidget* parent = nullptr);

    /// Shows the bar with the focus in its field; a selection within one line becomes the text to find.
    void open();
    /// Hides the bar and gives the focus back to the text.
    void dismiss();
    /// Empties the field, its undo history and the status, and hides the bar: nothing of the note stays in it.
    void forget();
    /// Selects the next match after the cursor, from the top again past the end; false when nothing matches or the
    /// field is empty (then the bar opens for the user to type).
    bool findNext();
    /// Selects the match before the cursor, from the bottom again past the start; false as for findNext.
    bool findPrevious();
    /// "Not found", a note that the search went round the end, or "".
    [[nodiscard]] QString status() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    enum class Direction { Forward, Backward };
    bool find(Direction direction, qsizetype from);
    void findAsTyped();
    void showStatus(const QString& text, bool notFound);

    NoteTextView* m_textView;
    QLineEdit* m_field = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace window
