#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

/// The key under which the note password is stored.
inline constexpr auto passwordKey = "password";

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
};

/// Preferences in an INI file through QSettings. The file may hold the password in plain text, so it is kept
/// readable by its owner only: file 0600, folder 0700, also after every rewrite.
class SettingsPreferences final : public Preferences {
public:
    /// The store at filePath.
    explicit SettingsPreferences(QString filePath);
    /// The user's store: organisation and application "Vellumpad" in the user's configuration folder.
    [[nodiscard]] static QString defaultFilePath();

    [[nodiscard]] std::optional<QString> stringForKey(const QString& key) const override;
    [[nodiscard]] bool holdsKey(const QString& key) const override;
    [[nodiscard]] bool setString(const QString& key, const QString& value) override;
    [[nodiscard]] bool remove(const QString& key) override;

    [[nodiscard]] const QString& filePath() const noexcept { return m_filePath; }

private:
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
