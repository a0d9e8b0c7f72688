#include "platform/preferences.h"

#include "platform/password_keeper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
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

// No preferences file comes near this; a larger one is no preferences text.
constexpr qint64 largestStore = 1 << 20;

/// What the file at path is, looked at without waiting on a pipe or device put in its place.
StoreFault inspectStore(const QString& filePath) {
    const int fd = ::open(QFile::encodeName(filePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? StoreFault::none : StoreFault::unreadable;
    }
    QFile file;
    struct stat info {};
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return StoreFault::unreadable;
    }
    if (::fstat(fd, &info) != 0) {
        return StoreFault::unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        return StoreFault::notAFile;
    }
    const QByteArray content = file.read(largestStore + 1);
    if (file.error() != QFileDevice::NoError) {
        return StoreFault::unreadable;
    }
    // Qt writes the file in ASCII, escaping the rest; Qt reads anything, as UTF-8 with replacement characters, and
    // would find no password in random bytes, or a password nobody chose.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(utf8(content));
    if (content.size() > largestStore || content.contains('\0') || utf8.hasError()) {
        return StoreFault::damaged;
    }
    return StoreFault::none;
}

} // namespace

SettingsPreferences::SettingsPreferences(QString filePath) : m_filePath(std::move(filePath)) {}

QString SettingsPreferences::defaultFilePath() {
    // Where QSettings keeps the native (on Linux, this same INI) store of organisation and application "Vellumpad",
    // found as QSettings finds it; a QSettings made to ask would read the file, and wait for ever on a pipe there.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vellumpad/Vellumpad.conf");
}

StoreFault SettingsPreferences::fault() const {
    if (const StoreFault fault = inspectStore(m_filePath); fault != StoreFault::none) {
        return fault;
    }
    // An AccessError here may be Qt's own failure to write an earlier value, which it retries on every read; whether
    // the file can be read was answered above.
    return QSettings(m_filePath, QSettings::IniFormat).status() == QSettings::FormatError ? StoreFault::damaged
                                                                                          : StoreFault::none;
}

bool SettingsPreferences::mayWrite(const QString& key) const {
    const StoreFault fault = this->fault();
    // Qt would read a pipe there first, and wait for ever.
    if (fault == StoreFault::notAFile) {
        return false;
    }
    // Qt rewrites the whole file from what it could read of it, so a passing setting (the last folder, the window's
    // place) would drop the password a damaged file may hold, and notes would then be saved under the empty one. Only
    // setting the password, or where it is kept, replaces such a file: that is the user's own choice.
    return fault == StoreFault::none || key == QLatin1String(passwordKey) || key == QLatin1String(passwordPlaceKey);
}

std::optional<QString> SettingsPreferences::stringForKey(const QString& key) const {
    if (fault() != StoreFault::none) {
        return std::nullopt;
    }
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
    if (fault() != StoreFault::none) {
        return true;
    }
    const QSettings settings(m_filePath, QSettings::IniFormat);
    // A file that cannot be read may hold the key all the same; a missing file reads without error.
    return settings.contains(key) || settings.status() != QSettings::NoError;
}

bool SettingsPreferences::setString(const QString& key, const QString& value) {
    if (!mayWrite(key)) {
        return false;
    }
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
    if (!mayWrite(key)) {
        return false;
    }
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
