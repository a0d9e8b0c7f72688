#include "window/wrap_pacer.h"

#include <Qsci/qsciscintillabase.h>

#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace window {

namespace {

// Long enough that the turns of the event loop between two are a small part of the time, short enough that a key
// pressed meanwhile is answered well within a tenth of a second (one of Scintilla's own turns may add about 10 ms).
constexpr qint64 turnMs = 40;

} // namespace

WrapPacer::WrapPacer(QsciScintillaBase* view) : QObject(view), m_view(view) {}

void WrapPacer::follow() {
    if (m_timer != nullptr) {
        return;
    }
    if (m_editor == nullptr) {
        // The direct pointer is QScintilla's editor object, a QObject first; it is no child of the view, so it is
        // found this way. Another kind of object there means another QScintilla: its pace is left alone.
        auto* editor = reinterpret_cast<QObject*>(m_view->SendScintilla(QsciScintillaBase::SCI_GETDIRECTPOINTER));
        if (editor == nullptr || qstrcmp(editor->metaObject()->className(), "QsciScintillaQt") != 0) {
            return;
        }
        m_editor = editor;
    }
    m_timer = m_editor->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    if (m_timer != nullptr) {
        m_timer->installEventFilter(this);
    }
}

WrapPacer::Screen WrapPacer::screen() const {
    const auto send = [this](unsigned int message, unsigned long line = 0) {
        return m_view->SendScintilla(message, line);
    };
    Screen shown;
    shown.size = m_view->viewport()->size();
    const long top = send(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
    shown.topLine = send(QsciScintillaBase::SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(top));
    const long topDisplayLine =
        send(QsciScintillaBase::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(shown.topLine));
    shown.rowsAbove = top - topDisplayLine;
    shown.xOffset = send(QsciScintillaBase::SCI_GETXOFFSET);
    // Where each line on screen (and a part of one below it) begins, in rows below the top line's first.
    const long rows = send(QsciScintillaBase::SCI_LINESONSCREEN) + 1;
    const long lines = send(QsciScintillaBase::SCI_GETLINECOUNT);
    for (long line = shown.topLine + 1; line <= lines; ++line) {
        const long row =
            send(QsciScintillaBase::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(line)) - topDisplayLine;
        shown.lineRows.push_back(row);
        if (row - shown.rowsAbove > rows) {
            break;
        }
    }
    return shown;
}

bool WrapPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_timer || event->type() != QEvent::Timer || m_inTurn || m_editor == nullptr) {
        return false;
    }
    // After each of its turns Scintilla repaints the whole view, for the scroll bar's new length; but the lines it
    // wraps in the background lie beyond the screen (it wraps those on screen as it paints them) and keep their place
    // and look. So the view is repainted once the turns are done, and only if what it shows moved or changed.
    QWidget* viewport = m_view->viewport();
    const bool repaintBlocked = viewport->testAttribute(Qt::WA_UpdatesDisabled);
    const Screen before = screen();
    viewport->setAttribute(Qt::WA_UpdatesDisabled, true);
    QElapsedTimer clock;
    clock.start();
    m_inTurn = true;
    bool ran = true;
    // Scintilla stops the timer when nothing is left to do.
    while (ran && m_timer != nullptr && m_timer->isActive() && clock.elapsed() < turnMs) {
        ran = QMetaObject::invokeMethod(m_editor, "onIdle", Qt::DirectConnection);
    }
    m_inTurn = false;
    viewport->setAttribute(Qt::WA_UpdatesDisabled, repaintBlocked);
    if (!(screen() == before)) {
        viewport->update();
    }
    if (!ran) {
        // Without the slot, Scintilla's own turns go ahead, now and from now on.
        m_editor = nullptr;
    }
    return ran;
}

} // namespace window
