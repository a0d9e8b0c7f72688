#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

#include <vector>

class QsciScintillaBase;
class QTimer;

namespace window {

/// Keeps Scintilla's background work, wrapping the lines beyond the screen, from repainting the view for nothing.
/// Scintilla wraps about 10 ms of lines per turn of the event loop and then repaints the whole view for the scroll
/// bar's new length, although what the view shows did not change: hundreds of times for a large note, each time
/// laying out and drawing the screen's lines again. Here the view is repainted after such a turn only if what it
/// shows changed; the scroll bar follows every turn.
class WrapRepaintFilter final : public QObject {
    Q_OBJECT

public:
    /// A filter for view, which owns it.
    explicit WrapRepaintFilter(QsciScintillaBase* view);

    /// Watches view's background work, once Scintilla has made the timer that drives it (when it first has lines to
    /// wrap); until then, and if this Scintilla has no such timer, the work repaints as Scintilla has it.
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
};

} // namespace window
