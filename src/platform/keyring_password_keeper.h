#pragma once

#include "platform/password_keeper.h"

namespace platform {

/// The password in the desktop keyring (the Secret Service: GNOME Keyring, KWallet) through QtKeychain, under the
/// service "Vellumpad" and the key "password". Each call waits for the keyring's answer, which may take as long as
/// the user needs to unlock it; user input to the program's windows is held back meanwhile. Needs a
/// QCoreApplication.
class KeyringPasswordKeeper final : public PasswordKeeper {
public:
    [[nodiscard]] PasswordRead read() override;
    [[nodiscard]] std::optional<KeeperFailure> write(const QString& password) override;
    [[nodiscard]] std::optional<KeeperFailure> remove() override;
};

} // namespace platform
