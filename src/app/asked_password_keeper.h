#pragma once

#include "cipher/base/bytes.h"
#include "platform/password_keeper.h"

#include <QString>

#include <functional>
#include <optional>

namespace app {

/// "Nowhere: ask when needed": the password is asked for when first needed and held in memory for this run only,
/// as UTF-8 in memory that is wiped when it is forgotten or freed.
class AskedPasswordKeeper final : public platform::PasswordKeeper {
public:
    /// Asks the user for the password; no value when none is given.
    using Ask = std::function<std::optional<QString>()>;

    /// Sets how the password is asked for; until then, reading one not held fails as not given.
    void setAsk(Ask ask) { m_ask = std::move(ask); }

    /// The password held, else the one the user gives now (then held), else notGiven.
    [[nodiscard]] platform::PasswordRead read() override;
    /// Holds the password for the rest of the run.
    [[nodiscard]] std::optional<platform::KeeperFailure> write(const QString& password) override;
    /// Forgets the password held.
    [[nodiscard]] std::optional<platform::KeeperFailure> remove() override;

    /// Wipes the password held, so that the next read asks again (on Lock, and at quit).
    void forget() noexcept;
    /// Whether a password is held now.
    [[nodiscard]] bool holdsOne() const noexcept { return m_held; }

private:
    Ask m_ask;
    cipher::SecureBytes m_utf8;
    bool m_held = false;
};

} // namespace app
