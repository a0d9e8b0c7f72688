#pragma once

#include <QString>

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
};

} // namespace preferences
