#include "platform/keyring_password_keeper.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QStringList>

namespace platform {
namespace {

QString service() {
    return QStringLiteral("Vellumpad");
}

/// Starts the job and waits for it to finish. Clicks and keys wait too, so that no second command starts while
/// this one is half done.
void runToEnd(QKeychain::Job& job) {
    job.setAutoDelete(false);
    // Never the plain-text fallback: the user chose the keyring so that the password is not in a file.
    job.setInsecureFallback(false);
    job.setKey(QString::fromLatin1(passwordKey));
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start(); // queued: finished cannot come before the loop runs
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

/// Whether a session bus is there with a keyring on it, running or ready to start: the Secret Service (GNOME
/// Keyring, KeePassXC, recent KWallet) or KWallet's own service.
bool keyringReachable() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusConnectionInterface* names = bus.interface();
    const QStringList activatable = names->activatableServiceNames().value();
    for (const char* name : {"org.freedesktop.secrets", "org.kde.kwalletd5", "org.kde.kwalletd6"}) {
        const QString service = QString::fromLatin1(name);
        if (names->isServiceRegistered(service).value() || activatable.contains(service)) {
            return true;
        }
    }
    return false;
}

KeeperFailure failureOf(const QKeychain::Job& job) {
    switch (job.error()) {
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return {KeeperFault::noKeyring, job.errorString()};
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return {KeeperFault::keyringDenied, job.errorString()};
    default:
        break;
    }
    // QtKeychain reports a missing bus or service only as an "other error" in GLib's words; the bus itself says
    // whether anything could have answered.
    if (!keyringReachable()) {
        return {KeeperFault::noKeyring, job.errorString()};
    }
    return {KeeperFault::keyringFailed, job.errorString()};
}

} // namespace

PasswordRead KeyringPasswordKeeper::read() {
    QKeychain::ReadPasswordJob job(service());
    runToEnd(job);
    // A locked keyring whose unlock is cancelled answers as if it held nothing; either way there is no password to
    // use, and the empty one would protect nothing.
    if (job.error() == QKeychain::EntryNotFound) {
        return KeeperFailure{KeeperFault::missing, job.errorString()};
    }
    if (job.error() != QKeychain::NoError) {
        return failureOf(job);
    }
    return job.textData();
}

std::optional<KeeperFailure> KeyringPasswordKeeper::write(const QString& password) {
    QKeychain::WritePasswordJob job(service());
    job.setTextData(password);
    runToEnd(job);
    if (job.error() != QKeychain::NoError) {
        return failureOf(job);
    }
    return std::nullopt;
}

std::optional<KeeperFailure> KeyringPasswordKeeper::remove() {
    QKeychain::DeletePasswordJob job(service());
    runToEnd(job);
    if (job.error() != QKeychain::NoError && job.error() != QKeychain::EntryNotFound) {
        return failureOf(job);
    }
    return std::nullopt;
}

} // namespace platform
