#pragma once

#include "window/line_endings.h"

#include <Qsci/qsciscintillabase.h>

#include <QAccessible>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPointer>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace window {

class WrapRepaintFilter;

/// The text view of a note: a Scintilla editor whose document is the note's UTF-8 bytes, exactly as they are on
/// disk, with a plain look (the system's fixed-width font, the palette's colours, no margins). Positions are byte
/// offsets into the document.
class NoteTextView final : public QsciScintillaBase, private QAccessible::ActivationObserver {
    Q_OBJECT

public:
    /// An empty, editable view whose typed line breaks are LF.
    explicit NoteTextView(QWidget* parent = nullptr);
    ~NoteTextView() override;

    /// Drops the text and its undo history and starts an empty document at its save point, room reserved for
    /// capacity bytes, in which a typed line break is ending.
    void clear(LineEnding ending, std::size_t capacity = 0);
    /// A new empty document, not shown, with room for capacity bytes that takes no memory until text fills it; to be
    /// given to showDocument or dropDocument.
    [[nodiscard]] long makeDocument(std::size_t capacity) const;
    /// Drops the text and its undo history and shows document, from makeDocument, in which a typed line break is
    /// ending.
    void showDocument(long document, LineEnding ending);
    /// Drops a document from makeDocument that was never shown.
    void dropDocument(long document) const;
    /// Puts bytes at the end of the text, read-only or not, leaving the caret and the scroll where they are.
    void append(QByteArrayView bytes);
    /// The whole text; valid until the text next changes.
    [[nodiscard]] QByteArrayView bytes() const;
    /// The bytes in [from, to); valid until the text next changes. Cheaper than bytes() for a small part.
    [[nodiscard]] QByteArrayView bytes(qsizetype from, qsizetype to) const;
    /// Copies the whole text to into, which has room for length() bytes, without moving the document's gap, so that
    /// the copy costs no more than the bytes it copies.
    void copyBytes(char* into) const;
    /// The whole text, to be changed in place without changing its length; valid until the text next changes.
    [[nodiscard]] std::span<std::uint8_t> bytesInPlace();
    /// Puts the document aside as it is (text, line endings, save point), without its undo history, and shows a new
    /// empty one in its place. The handle must be given back to bringBack.
    [[nodiscard]] long setAside();
    /// Shows the document set aside again, in place of the current one, at its start; Undo starts afresh.
    void bringBack(long document);
    /// The number of bytes in the text.
    [[nodiscard]] qsizetype length() const;
    /// How a line break the user types is written.
    [[nodiscard]] LineEnding lineEnding() const;

    /// Whether the text differs from its save point (undoing back to it counts as no change).
    [[nodiscard]] bool isModified() const;
    /// Makes the current text the save point.
    void setSavePoint();
    /// Starts or stops recording edits for Undo; stopping forgets what was recorded.
    void setUndoCollection(bool collect);
    [[nodiscard]] bool isReadOnly() const;
    void setReadOnly(bool readOnly);

    [[nodiscard]] bool canUndo() const;
    [[nodiscard]] bool canRedo() const;
    [[nodiscard]] bool canPaste() const;
    [[nodiscard]] bool hasSelection() const;

    /// Whether long lines wrap at the edge of the view.
    [[nodiscard]] bool wordWrap() const;
    void setWordWrap(bool wrap);
    /// Points added to the font's size (0 unzoomed); Ctrl+wheel changes it too.
    [[nodiscard]] int zoom() const;
    /// Zooms to points, kept between a font of 4 points and 20 points above the unzoomed size.
    void setZoom(int points);
    /// Whether the text is styled in runs (text_runs.h), on by default: runs side by side get different styles that
    /// look the same, so that Scintilla measures words and remembers their widths instead of measuring long stretches
    /// of text. The document's text is not touched. Changing it applies to the text put in after the next clear().
    [[nodiscard]] bool runStyling() const;
    void setRunStyling(bool on);

    /// The first line shown at the top of the view, counting wrapped lines as shown.
    [[nodiscard]] qsizetype firstVisibleLine() const;
    /// Scrolls so that line is the first shown.
    void setFirstVisibleLine(qsizetype line);
    /// How far the view is scrolled to the right, in pixels.
    [[nodiscard]] int horizontalOffset() const;
    void setHorizontalOffset(int pixels);

    /// Takes back from the clipboard (and the X11 selection) what was copied or cut from this view, when it still
    /// holds that; what another program put there since is left alone.
    void takeBackCopies();

    /// The selection's anchor, the end that stays put while the caret moves.
    [[nodiscard]] qsizetype anchor() const;
    /// The caret's byte offset.
    [[nodiscard]] qsizetype caret() const;
    /// The selection as (start, end) byte offsets; start == end when nothing is selected.
    [[nodiscard]] std::pair<qsizetype, qsizetype> selection() const;
    /// Selects from anchor to caret and scrolls the caret into view.
    void select(qsizetype anchor, qsizetype caret);
    /// The selected bytes.
    [[nodiscard]] QByteArray selectedBytes() const;
    /// The 0-based line holding position, and the position where that line starts.
    [[nodiscard]] std::pair<qsizetype, qsizetype> lineAt(qsizetype position) const;
    /// The number of lines; an empty note has one.
    [[nodiscard]] qsizetype lineCount() const;
    /// Where the 0-based line starts and where its text ends, before its line break.
    [[nodiscard]] std::pair<qsizetype, qsizetype> lineSpan(qsizetype line) const;
    /// The first match of needle in [from, to) as (start, end), searching backwards when to < from; UTF-8 letters
    /// compare case-insensitively unless matchCase. With wholeWords, a match next to a letter, digit or "_" does not
    /// count.
    [[nodiscard]] std::optional<std::pair<qsizetype, qsizetype>>
    find(QByteArrayView needle, qsizetype from, qsizetype to, bool matchCase, bool wholeWords = false) const;
    /// Replaces the bytes in [from, to) with replacement as one step for Undo.
    void replace(qsizetype from, qsizetype to, QByteArrayView replacement);

public slots:
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void selectAll();

signals:
    /// The text reached (false) or left (true) its save point.
    void modificationChanged(bool modified);
    /// The text changed (so Undo and Redo may have become available or not); once for the changes before a paint.
    void textChanged();
    /// The caret moved or the selection changed.
    void caretMoved();
    /// The text is about to change from position from on (from 0 when another document is shown).
    void textAboutToChange(qsizetype from);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    /// Copied or dragged text, marked as a secret for clipboard managers (which then keep no history of it).
    QMimeData* toMimeData(const QByteArray& text, bool rectangular) const override;

private:
    void accessibilityActiveChanged(bool active) override;
    long send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const;
    void setUpDocument(LineEnding ending);
    void forgetLayout();
    [[nodiscard]] qsizetype characterStart(qsizetype position) const;
    [[nodiscard]] std::optional<std::pair<qsizetype, qsizetype>> findAnywhere(QByteArrayView needle, qsizetype from,
                                                                              qsizetype to, bool matchCase) const;
    [[nodiscard]] bool isWordAt(qsizetype position, bool before) const;
    [[nodiscard]] std::optional<std::pair<qsizetype, qsizetype>> findFolded(const QString& needle, qsizetype from,
                                                                            qsizetype to) const;
    void applyLook();
    void styleRuns(int position);
    void noteChange(qsizetype position, int type, qsizetype length);
    [[nodiscard]] qsizetype styledRunStart(qsizetype position) const;
    [[nodiscard]] unsigned long wrapMode() const;

    void markSelectionSecret();

    // What this view put on the clipboard; Qt owns it and drops it when another program takes the clipboard.
    mutable QList<QPointer<QMimeData>> m_copies;
    WrapRepaintFilter* m_wrapRepaints;
    bool m_runStyling = true;
    // The styles before this are what styleRuns gives for the text as it now is, but where it changed since.
    qsizetype m_trustedEnd = 0;
    // The text from here on is as it was when it was last styled; -1 when it has not changed since.
    qsizetype m_changedEnd = -1;
    double m_points = 10;
    int m_wheelZoomRest = 0;
};

} // namespace window
