#include "platform/screen_lock_watcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform {

namespace {

const QString login1 = QStringLiteral("org.freedesktop.login1");

} // namespace

ScreenLockWatcher::ScreenLockWatcher(QObject* parent) : QObject(parent) {}

bool ScreenLockWatcher::start() {
    if (m_started) {
        return QDBusConnection::sessionBus().isConnected();
    }
    m_started = true;
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        // Any sender and any path: desktops send it from /ScreenSaver, /org/freedesktop/ScreenSaver or both.
        (void)session.connect(QString(), QString(), QStringLiteral("org.freedesktop.ScreenSaver"),
                              QStringLiteral("ActiveChanged"), this, SLOT(screenSaverActiveChanged(bool)));
    }
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected()) {
        // Asked without waiting: a slow or missing logind must not hold up the window.
        QDBusMessage ask = QDBusMessage::createMethodCall(login1, QStringLiteral("/org/freedesktop/login1"),
                                                          QStringLiteral("org.freedesktop.login1.Manager"),
                                                          QStringLiteral("GetSessionByPID"));
        ask << static_cast<uint>(QCoreApplication::applicationPid());
        auto* call = new QDBusPendingCallWatcher(system.asyncCall(ask), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, &ScreenLockWatcher::sessionFound);
    }
    return session.isConnected();
}

void ScreenLockWatcher::sessionFound(QDBusPendingCallWatcher* call) {
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    call->deleteLater();
    if (reply.isError()) {
        return;
    }
    (void)QDBusConnection::systemBus().connect(login1, reply.value().path(),
                                               QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Lock"),
                                               this, SLOT(sessionLocked()));
}

void ScreenLockWatcher::screenSaverActiveChanged(bool active) {
    if (active) {
        emit screenLocked();
    }
}

void ScreenLockWatcher::sessionLocked() {
    emit screenLocked();
}

} // namespace platform
