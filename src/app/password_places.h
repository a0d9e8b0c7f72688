#pragma once

#include "app/asked_password_keeper.h"
#include "platform/password_keeper.h"
#include "platform/preferences.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

namespace app {

/// Where the note password is kept: in the preferences file, in the desktop keyring or nowhere (asked for), as the
/// preferences record. Reads and writes go to the recorded place; a move keeps the password in the new place,
/// confirms it there, records the choice and only then removes it from the old place.
class PasswordPlaces {
    Q_DECLARE_TR_FUNCTIONS(PasswordPlaces)

public:
    /// preferences and keyring must outlive it.
    PasswordPlaces(platform::Preferences& preferences, platform::PasswordKeeper& keyring);

    /// The recorded place; no value when the record is not one the program knows.
    [[nodiscard]] std::optional<platform::PasswordPlace> place() const;
    /// The password from the recorded place, or why there is none. The failure is also kept for lastFailure().
    [[nodiscard]] platform::PasswordRead read();
    /// Keeps the password in the recorded place, confirming it there when it is the keyring; no value when done.
    [[nodiscard]] std::optional<platform::KeeperFailure> write(const QString& password);
    /// Moves to place: keeps password there (with none, the one kept now), confirms it, records the choice, then
    /// removes it from the old place. No value when done; else why not, in the interface language, and the password
    /// and the choice are as they were.
    [[nodiscard]] std::optional<QString> moveTo(platform::PasswordPlace place, const std::optional<QString>& password);
    /// Why the last read failed; no value when it succeeded.
    [[nodiscard]] const std::optional<platform::KeeperFailure>& lastFailure() const noexcept { return m_lastFailure; }

    /// The "nowhere" keeper, whose password Lock and quit forget.
    [[nodiscard]] AskedPasswordKeeper& asked() noexcept { return m_asked; }

    /// The failure in the user's words, one sentence or two.
    [[nodiscard]] static QString describe(const platform::KeeperFailure& failure);

private:
    [[nodiscard]] platform::PasswordKeeper& keeper(platform::PasswordPlace place);
    /// Writes to the keeper and, for the keyring, reads it back: a keyring can take a password and not keep it.
    [[nodiscard]] std::optional<platform::KeeperFailure> writeConfirmed(platform::PasswordPlace place,
                                                                        const QString& password);

    platform::Preferences& m_preferences;
    platform::PreferencesPasswordKeeper m_file;
    platform::PasswordKeeper& m_keyring;
    AskedPasswordKeeper m_asked;
    std::optional<platform::KeeperFailure> m_lastFailure;
};

} // namespace app
