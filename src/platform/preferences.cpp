#include "platform/preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <utility>

namespace platform {
namespace {

constexpr auto ownerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr auto ownerOnlyFolder = ownerOnlyFile | QFileDevice::ExeOwner;

/// Sets the process umask for the lifetime of the guard, so that files created meanwhile start owner-only.
class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : m_previous(::umask(mask)) {}
    ~UmaskGuard() { ::umask(m_previous); }
    UmaskGuard(const UmaskGuard&) = delete;
    UmaskGuard& operator=(const UmaskGuard&) = delete;

private:
    mode_t m_previous;
};

/// Closes the store's folder and file to everyone but the owner before anything is written.
void restrictAccess(const QString& filePath) {
    const QFileInfo info(filePath);
    QDir().mkpath(info.absolutePath());
    QFile::setPermissions(info.absolutePath(), ownerOnlyFolder);
    if (info.exists()) {
        QFile::setPermissions(filePath, ownerOnlyFile);
    }
}

} // namespace

SettingsPreferences::SettingsPreferences(QString filePath) : m_filePath(std::move(filePath)) {}

QString SettingsPreferences::defaultFilePath() {
    // On Linux the native format is this same INI text, kept in "Vellumpad.conf"; IniFormat's user path would
    // end in ".ini" instead.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vellumpad"),
                     QStringLiteral("Vellumpad"))
        .fileName();
}

std::optional<QString> SettingsPreferences::stringForKey(const QString& key) const {
    const QSettings settings(m_filePath, QSettings::IniFormat);
    const QVariant value = settings.value(key);
    // A hand-edited entry can read back as a list or another type; that is no string, as for a missing key.
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<QByteArray> storedPasswordUtf8(const Preferences& preferences) {
    const QString key = QString::fromLatin1(passwordKey);
    const std::optional<QString> stored = preferences.stringForKey(key);
    if (!stored) {
        return preferences.holdsKey(key) ? std::nullopt : std::optional<QByteArray>(QByteArray());
    }
    // toUtf8 would turn a lone surrogate into "?", and the note would be keyed by a password nobody chose.
    if (!QStringView(*stored).isValidUtf16()) {
        return std::nullopt;
    }
    return stored->toUtf8();
}

bool SettingsPreferences::holdsKey(const QString& key) const {
    const QSettings settings(m_filePath, QSettings::IniFormat);
    // A file that cannot be read may hold the key all the same; a missing file reads without error.
    return settings.contains(key) || settings.status() != QSettings::NoError;
}

bool SettingsPreferences::setString(const QString& key, const QString& value) {
    // The save replaces the file with a new one that copies the old file's mode, or takes the umask's when there
    // was none; tightening both first leaves no moment in which the password is readable by others.
    restrictAccess(m_filePath);
    bool stored = false;
    {
        const UmaskGuard ownerOnly(077);
        QSettings settings(m_filePath, QSettings::IniFormat);
        const QVariant earlier = settings.value(key);
        settings.setValue(key, value);
        settings.sync();
        stored = settings.status() == QSettings::NoError;
        // QSettings keeps a value it could not write in a cache that every later reader of this file in the process
        // sees; it must not pass for stored.
        if (!stored) {
            if (earlier.isValid()) {
                settings.setValue(key, earlier);
            } else {
                settings.remove(key);
            }
        }
    }
    restrictAccess(m_filePath);
    return stored;
}

bool SettingsPreferences::remove(const QString& key) {
    restrictAccess(m_filePath);
    const UmaskGuard ownerOnly(077);
    QSettings settings(m_filePath, QSettings::IniFormat);
    const QVariant earlier = settings.value(key);
    settings.remove(key);
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        return true;
    }
    // As in setString: the cache must not pretend the value is gone while the file still holds it.
    if (earlier.isValid()) {
        settings.setValue(key, earlier);
    }
    return false;
}

QString filePanelHistoryPath() {
    // Where QFileDialog's own QSettings keeps its history.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QtProject")).fileName();
}

void keepOwnerOnly(const QString& filePath) {
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    const QByteArray path = QFile::encodeName(filePath);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        (void)::fchmod(fd, 0600);
        ::close(fd);
    }
}

} // namespace platform
