#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

#include <vector>

class QsciScintillaBase;
class QTimer;

namespace window {

/// Paces Scintilla's background work, wrapping the lines beyond the screen. Scintilla wraps about 10 ms of lines per
/// turn of the event loop and then repaints the whole view for the scroll bar's new length, although what the view
/// shows did not change. Here one turn runs Scintilla's turns back to back for a few times as long and repaints the
/// view only if what it shows changed; the scroll bar follows every turn.
class WrapPacer final : public QObject {
    Q_OBJECT

public:
    /// A pacer for view, which owns it.
    explicit WrapPacer(QsciScintillaBase* view);

    /// Takes over the pace of view's background work, once Scintilla has made the timer that drives it (when it first
    /// has lines to wrap); until then, and if this Scintilla has no such timer, it keeps its own pace.
    void follow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Where the view stands: its size, its top line, how many of its rows lie above the screen, how far it is scrolled
    // to the right, and where the lines after the top one begin, until the screen is full.
    struct Screen {
        QSize size;
        long topLine = 0;
        long rowsAbove = 0;
        long xOffset = 0;
        std::vector<long> lineRows;
        bool operator==(const Screen&) const = default;
    };
    [[nodiscard]] Screen screen() const;

    QsciScintillaBase* m_view;
    QPointer<QObject> m_editor;
    QPointer<QTimer> m_timer;
    bool m_inTurn = false;
};

} // namespace window
