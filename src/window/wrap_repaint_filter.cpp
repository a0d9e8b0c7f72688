#include "window/wrap_repaint_filter.h"

#include <Qsci/qsciscintillabase.h>

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace window {

WrapRepaintFilter::WrapRepaintFilter(QsciScintillaBase* view) : QObject(view), m_view(view) {}

void WrapRepaintFilter::follow() {
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

WrapRepaintFilter::Screen WrapRepaintFilter::screen() const {
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

bool WrapRepaintFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_timer || event->type() != QEvent::Timer || m_editor == nullptr) {
        return false;
    }
    // After each of its turns Scintilla repaints the whole view, for the scroll bar's new length; but the lines it
    // wraps in the background lie beyond the screen (it wraps those on screen as it paints them) and keep their place
    // and look. So its turn runs with the view's repaints held back, and the view is repainted only if what it shows
    // moved or changed.
    QWidget* viewport = m_view->viewport();
    const bool repaintBlocked = viewport->testAttribute(Qt::WA_UpdatesDisabled);
    const Screen before = screen();
    viewport->setAttribute(Qt::WA_UpdatesDisabled, true);
    const bool ran = QMetaObject::invokeMethod(m_editor, "onIdle", Qt::DirectConnection);
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
