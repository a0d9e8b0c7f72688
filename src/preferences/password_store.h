#pragma once

#include "platform/password_keeper.h"

#include <QString>

#include <optional>

namespace preferences {

/// Where the note password is kept between runs: the application's delegate.
class PasswordStore {
public:
    virtual ~PasswordStore() = default;
    /// The stored password, or "" when none is stored.
    [[nodiscard]] virtual QString getPassword() const = 0;
    /// Stores the text exactly (the empty text included), replacing any earlier password. False when it could not
    /// be stored; the earlier password then stays in use.
    [[nodiscard]] virtual bool setPasswordWithPass(const QString& password) = 0;

    /// Where the password is kept; no value when the preferences record a place the program does not know.
    [[nodiscard]] virtual std::optional<platform::PasswordPlace> passwordPlace() const {
        return platform::PasswordPlace::preferencesFile;
    }
    /// Why the last setPasswordWithPass failed, in the interface language; "" when there is nothing more to say than
    /// that the preferences file cannot be written.
    [[nodiscard]] virtual QString storeProblem() const { return {}; }
    /// Keeps the password in place, moving it from where it is kept now: password, or with none the one kept now.
    /// No value when done; else why not, in the interface language, and nothing has changed.
    [[nodiscard]] virtual std::optional<QString> keepPasswordIn(platform::PasswordPlace place,
                                                                const std::optional<QString>& password) {
        if (place == platform::PasswordPlace::preferencesFile && (!password || setPasswordWithPass(*password))) {
            return std::nullopt;
        }
        return storeProblem();
    }
};

} // namespace preferences
