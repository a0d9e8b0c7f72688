#pragma once

#include "platform/preferences.h"

#include <QString>

#include <optional>
#include <variant>

namespace platform {

/// The places the note password can be kept, as the preference passwordPlaceKey records them.
enum class PasswordPlace { preferencesFile, keyring, nowhere };

/// The preference that records where the password is kept: "preferences", "keyring" or "nowhere".
inline constexpr auto passwordPlaceKey = "passwordPlace";

/// The place the preferences record: the preferences file when they record none; no value when they hold something
/// else, which must not be taken for the preferences file (its password may have moved to the keyring).
[[nodiscard]] std::optional<PasswordPlace> recordedPasswordPlace(const Preferences& preferences);
/// Records place in the preferences; false when they could not be written.
[[nodiscard]] bool recordPasswordPlace(Preferences& preferences, PasswordPlace place);

/// Why a place could not give or take the password.
enum class KeeperFault {
    unusable,      ///< what is stored is no usable text (a hand-edited or unreadable preferences file)
    notWritable,   ///< the preferences file cannot be written
    noKeyring,     ///< no Secret Service answers on the session bus
    keyringDenied, ///< the keyring stayed locked (its unlock was cancelled) or refused access
    keyringFailed, ///< any other keyring error
    missing,       ///< the keyring holds no password for the editor (removed, or locked and not unlocked)
    notGiven,      ///< the password was asked for and none was given
    notConfirmed,  ///< the password was written, but reading it back gave something else
};

/// A fault and, for the keyring's, its own words (English, for the curious).
struct KeeperFailure {
    KeeperFault fault = KeeperFault::keyringFailed;
    QString detail{};
};

/// The password read from a place ("" when none is kept there), or why it could not be.
using PasswordRead = std::variant<QString, KeeperFailure>;

/// One place where the note password is kept.
class PasswordKeeper {
public:
    virtual ~PasswordKeeper() = default;
    /// The password kept here, "" when none is, or why it could not be read. A place that always holds one once
    /// chosen (the keyring) says missing rather than "".
    [[nodiscard]] virtual PasswordRead read() = 0;
    /// Keeps the text exactly, replacing any earlier password; no value when kept, else why not (the earlier one
    /// then stays).
    [[nodiscard]] virtual std::optional<KeeperFailure> write(const QString& password) = 0;
    /// Removes the password kept here; no value when none is left.
    [[nodiscard]] virtual std::optional<KeeperFailure> remove() = 0;
};

/// The password in plain text under the preference "password", as the editor has always kept it.
class PreferencesPasswordKeeper final : public PasswordKeeper {
public:
    /// preferences must outlive the keeper.
    explicit PreferencesPasswordKeeper(Preferences& preferences) : m_preferences(preferences) {}

    [[nodiscard]] PasswordRead read() override;
    [[nodiscard]] std::optional<KeeperFailure> write(const QString& password) override;
    [[nodiscard]] std::optional<KeeperFailure> remove() override;

private:
    Preferences& m_preferences;
};

} // namespace platform
