#include "app/idle_watcher.h"

#include <QCoreApplication>
#include <QEvent>

namespace app {

IdleWatcher::IdleWatcher(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &IdleWatcher::idle);
    QCoreApplication::instance()->installEventFilter(this);
}

IdleWatcher::~IdleWatcher() {
    QCoreApplication::instance()->removeEventFilter(this);
}

void IdleWatcher::setInterval(std::chrono::milliseconds interval) {
    m_interval = interval;
    if (interval.count() > 0) {
        m_timer.start(interval);
    } else {
        m_timer.stop();
    }
}

bool IdleWatcher::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        if (m_interval.count() > 0) {
            m_timer.start(m_interval);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace app
