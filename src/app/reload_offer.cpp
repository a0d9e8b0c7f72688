#include "app/reload_offer.h"

#include "app/app_delegate.h"
#include "window/main_window.h"
#include "window/note_lock.h"
#include "window/reload_bar.h"
#include "window/view_controller.h"

#include <QAction>
#include <QEvent>

namespace app {

ReloadOffer::ReloadOffer(window::MainWindow& window, AppDelegate& delegate)
    : QObject(&window), m_window(window), m_delegate(delegate) {
    setObjectName(QStringLiteral("reloadOffer"));
    m_bar = new window::ReloadBar;
    window::ViewController& vc = window.viewController();
    vc.addBarAboveNote(m_bar);
    auto* action = window.findChild<QAction*>(QStringLiteral("actionReload"));
    // Every change of the note's file comes with a new title; a note without a file has nothing to read again.
    connect(&vc, &window::ViewController::titleChanged, action, [this, action, &vc] {
        action->setEnabled(!vc.filename.isEmpty());
        m_ignored.reset();
    });
    connect(&window, &window::MainWindow::reloadRequested, this, &ReloadOffer::reload);
    connect(m_bar, &window::ReloadBar::reloadChosen, this, &ReloadOffer::reload);
    connect(m_bar, &window::ReloadBar::ignoreChosen, this, [this] {
        m_ignored.emplace();
        m_ignored->remember(m_window.viewController().filename);
    });
    // Whatever was opened or written is the file as it is now.
    connect(&delegate, &AppDelegate::noteOpenedFrom, m_bar, &QWidget::hide);
    connect(&vc, &window::ViewController::modificationChanged, m_bar, [this](bool modified) {
        if (!modified && !m_delegate.fileChangedOnDisk()) {
            m_bar->hide();
        }
    });
    window.installEventFilter(this);
}

bool ReloadOffer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::WindowActivate) {
        check();
    }
    return QObject::eventFilter(watched, event);
}

void ReloadOffer::check() {
    // A locked window shows nothing of the note, not even its name.
    if (m_window.noteLock().isLocked() || !m_delegate.fileChangedOnDisk()) {
        return;
    }
    // Ignored, the file is let be until it changes again.
    if (m_ignored && !m_ignored->changedOnDisk(m_window.viewController().filename)) {
        return;
    }
    m_bar->showChanged(m_window.viewController().filename);
}

void ReloadOffer::reload() {
    if (m_window.noteLock().isLocked()) {
        return;
    }
    m_bar->hide();
    m_delegate.reload();
}

} // namespace app
