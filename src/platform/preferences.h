#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

/// The key under which the note password is stored.
inline constexpr auto passwordKey = "password";

/// Why a preferences store cannot be trusted to say what it holds.
enum class StoreFault {
    none,       ///< readable, or missing: a missing file holds nothing
    notAFile,   ///< a pipe, device or folder where the file should be; never opened, so nothing waits on it
    unreadable, ///< the file cannot be read
    damaged,    ///< the file is no preferences text (random bytes, say), so what a key holds cannot be known
};

/// The per-user preferences store: strings by key, kept across runs.
class Preferences {
public:
    virtual ~Preferences() = default;
    /// The stored string, or no value when the key holds none.
    [[nodiscard]] virtual std::optional<QString> stringForKey(const QString& key) const = 0;
    /// Whether the key holds any value, a string or not (a hand-edited file can give it another type), or may hold
    /// one that cannot be read.
    [[nodiscard]] virtual bool holdsKey(const QString& key) const { return stringForKey(key).has_value(); }
    /// Stores the string unchanged (the empty string included), replacing any earlier value. False when it could not
    /// be stored; the earlier value then stays.
    [[nodiscard]] virtual bool setString(const QString& key, const QString& value) = 0;
    /// Removes the key and its value. False when the store could not be written; the value then stays.
    [[nodiscard]] virtual bool remove(const QString& key) = 0;
    /// Why the store as a whole cannot be read, if it cannot: no key then holds a string, and every key may hold one.
    [[nodiscard]] virtual StoreFault fault() const { return StoreFault::none; }
};

/// Preferences in an INI file through QSettings. The file may hold the password in plain text, so it is kept
/// readable by its owner only: file 0600, folder 0700, also after every rewrite.
class SettingsPreferences final : public Preferences {
public:
    /// The store at filePath.
    explicit SettingsPreferences(QString filePath);
    /// The user's store: organisation and application "Vellumpad" in the user's configuration folder
    /// ($XDG_CONFIG_HOME, else ~/.config). Opens nothing.
    [[nodiscard]] static QString defaultFilePath();

    [[nodiscard]] std::optional<QString> stringForKey(const QString& key) const override;
    [[nodiscard]] bool holdsKey(const QString& key) const override;
    /// Refuses to write in place of anything but a regular file.
    [[nodiscard]] bool setString(const QString& key, const QString& value) override;
    [[nodiscard]] bool remove(const QString& key) override;
    /// Checked on each read without waiting: the file is opened non-blocking and looked at before Qt reads it.
    [[nodiscard]] StoreFault fault() const override;

    [[nodiscard]] const QString& filePath() const noexcept { return m_filePath; }

private:
    // Whether key may be written now: never over anything but a regular file, and over a file that cannot be read
    // only for the password and where it is kept.
    [[nodiscard]] bool mayWrite(const QString& key) const;

    QString m_filePath;
};

/// The stored note password as UTF-8: empty when none is stored; no value when the store holds one that is no
/// usable text (not a string, not valid UTF-16, or in a file that cannot be read), which must never become a key.
[[nodiscard]] std::optional<QByteArray> storedPasswordUtf8(const Preferences& preferences);

/// The file in which Qt's file panels keep their history (QtProject.conf, beside the preferences' folder): it names
/// the folders where notes live.
[[nodiscard]] QString filePanelHistoryPath();

/// Makes the file readable by its owner only (0600), creating it empty when it is missing, so that Qt's rewrites of
/// it, which copy the mode of the file they replace, keep it so.
void keepOwnerOnly(const QString& filePath);

} // namespace platform
