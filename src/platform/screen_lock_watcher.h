#pragma once

#include <QObject>

class QDBusPendingCallWatcher;

namespace platform {

/// Tells when the desktop locks the screen: the screen saver's ActiveChanged(true) (org.freedesktop.ScreenSaver on
/// the session bus) or logind's Lock for this process's session (on the system bus). Without a bus it stays silent.
class ScreenLockWatcher final : public QObject {
    Q_OBJECT

public:
    explicit ScreenLockWatcher(QObject* parent = nullptr);

    /// Begins listening, once; does nothing after the first call. False when there is no session bus.
    bool start();

signals:
    /// The desktop locked the screen.
    void screenLocked();

private slots:
    void screenSaverActiveChanged(bool active);
    void sessionLocked();
    void sessionFound(QDBusPendingCallWatcher* call);

private:
    bool m_started = false;
};

} // namespace platform
