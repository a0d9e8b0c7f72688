#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace window {

class MatchCounter;
class MatchHighlighter;
class NoteTextView;
struct FindQuery;

/// The bar under the note that finds text in it: a field, previous and next, "Match case", "Whole words", the
/// number of matches and a close button; opened for replacing, a second row with the replacement, Replace and
/// Replace All. Searches wrap around the ends of the note and are case-insensitive unless "Match case" is checked;
/// when nothing matches, the bar says so and the cursor stays where it was. While the bar is open, the matches on
/// screen are marked.
class FindBar final : public QWidget {
    Q_OBJECT

public:
    /// A hidden bar that searches textView, which must outlive it.
    explicit FindBar(NoteTextView* textView, QWidget* parent = nullptr);

    /// Shows the bar with the focus in its field; a selection within one line becomes the text to find.
    void open();
    /// Opens the bar as open does, with the replacement row shown.
    void openReplace();
    /// Hides the bar and gives the focus back to the text.
    void dismiss();
    /// Empties the field, its undo history and the status, and hides the bar: nothing of the note stays in it.
    void forget();
    /// Replaces the selection with the replacement when it is a match, then selects the next match; false when
    /// nothing matches.
    bool replace();
    /// Replaces every match in the note as one step for Undo, says how many in the bar and returns it.
    qsizetype replaceAll();
    /// "3 of 17" when the selection is the third of 17 matches, "17 matches" when it is none of them, "No matches",
    /// or "" while the field is empty or counting goes on.
    [[nodiscard]] QString matchCount() const;
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
    [[nodiscard]] FindQuery query() const;
    void showBar();
    void queryChanged();
    void showCount();

    NoteTextView* m_textView;
    QLineEdit* m_field = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QCheckBox* m_wholeWords = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_count = nullptr;
    bool m_notFound = false;
    QWidget* m_replaceRow = nullptr;
    QLineEdit* m_replacement = nullptr;
    MatchCounter* m_counter = nullptr;
    MatchHighlighter* m_highlighter = nullptr;
};

} // namespace window
