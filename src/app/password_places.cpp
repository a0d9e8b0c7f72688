#include "app/password_places.h"

#include <variant>

namespace app {

PasswordPlaces::PasswordPlaces(platform::Preferences& preferences, platform::PasswordKeeper& keyring)
    : m_preferences(preferences), m_file(preferences), m_keyring(keyring) {}

std::optional<platform::PasswordPlace> PasswordPlaces::place() const {
    return platform::recordedPasswordPlace(m_preferences);
}

platform::PasswordKeeper& PasswordPlaces::keeper(platform::PasswordPlace place) {
    switch (place) {
    case platform::PasswordPlace::keyring:
        return m_keyring;
    case platform::PasswordPlace::nowhere:
        return m_asked;
    case platform::PasswordPlace::preferencesFile:
        break;
    }
    return m_file;
}

platform::PasswordRead PasswordPlaces::read() {
    const std::optional<platform::PasswordPlace> recorded = place();
    // An unknown place is not the preferences file: the password may have moved away from it, and the empty
    // password found there would protect nothing.
    platform::PasswordRead result =
        recorded ? keeper(*recorded).read()
                 : platform::PasswordRead(platform::KeeperFailure{platform::KeeperFault::unusable});
    if (const auto* failure = std::get_if<platform::KeeperFailure>(&result)) {
        m_lastFailure = *failure;
    } else {
        m_lastFailure.reset();
    }
    return result;
}

std::optional<platform::KeeperFailure> PasswordPlaces::writeConfirmed(platform::PasswordPlace place,
                                                                      const QString& password) {
    platform::PasswordKeeper& target = keeper(place);
    if (std::optional<platform::KeeperFailure> failure = target.write(password)) {
        return failure;
    }
    if (place != platform::PasswordPlace::keyring) {
        return std::nullopt;
    }
    platform::PasswordRead back = target.read();
    if (auto* failure = std::get_if<platform::KeeperFailure>(&back)) {
        return *failure;
    }
    QString& readBack = std::get<QString>(back);
    const bool same = readBack == password;
    readBack.fill(QChar(0));
    if (!same) {
        return platform::KeeperFailure{platform::KeeperFault::notConfirmed};
    }
    return std::nullopt;
}

std::optional<platform::KeeperFailure> PasswordPlaces::write(const QString& password) {
    const std::optional<platform::PasswordPlace> recorded = place();
    if (!recorded) {
        return platform::KeeperFailure{platform::KeeperFault::unusable};
    }
    return writeConfirmed(*recorded, password);
}

std::optional<QString> PasswordPlaces::moveTo(platform::PasswordPlace target, const std::optional<QString>& password) {
    const std::optional<platform::PasswordPlace> from = place();
    if (from == target) {
        const std::optional<platform::KeeperFailure> failure = password ? write(*password) : std::nullopt;
        return failure ? std::optional(describe(*failure)) : std::nullopt;
    }
    QString moving;
    if (password) {
        moving = *password;
    } else {
        if (!from) {
            return describe({platform::KeeperFault::unusable});
        }
        platform::PasswordRead kept = keeper(*from).read();
        if (const auto* failure = std::get_if<platform::KeeperFailure>(&kept)) {
            return tr("The password was not moved, as it could not be read where it is kept now. %1")
                .arg(describe(*failure));
        }
        moving = std::get<QString>(kept);
    }
    if (const std::optional<platform::KeeperFailure> failure = writeConfirmed(target, moving)) {
        moving.fill(QChar(0));
        // A keyring that took the password but gave back another keeps nothing of ours.
        if (failure->fault == platform::KeeperFault::notConfirmed) {
            (void)keeper(target).remove();
        }
        return tr("Nothing was changed. %1").arg(describe(*failure));
    }
    moving.fill(QChar(0));
    if (!platform::recordPasswordPlace(m_preferences, target)) {
        (void)keeper(target).remove();
        return tr("Nothing was changed. %1").arg(describe({platform::KeeperFault::notWritable}));
    }
    // Only now, with the new place holding it and recorded, is the old copy given up.
    if (from) {
        if (const std::optional<platform::KeeperFailure> failure = keeper(*from).remove()) {
            return tr("The password is now kept in the new place, but it could not be removed from the old one. %1")
                .arg(describe(*failure));
        }
    }
    return std::nullopt;
}

QString PasswordPlaces::describe(const platform::KeeperFailure& failure) {
    const QString detail = failure.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(failure.detail);
    switch (failure.fault) {
    case platform::KeeperFault::unusable:
        return tr("The stored password is unusable, as it is not valid text (was the preferences file edited by "
                  "hand?). Set the password again in Preferences.");
    case platform::KeeperFault::notWritable:
        return tr("The preferences file cannot be written.");
    case platform::KeeperFault::noKeyring:
        return tr("No desktop keyring answers: is GNOME Keyring or KWallet running?%1").arg(detail);
    case platform::KeeperFault::keyringDenied:
        return tr("The desktop keyring refused access: it may be locked, its unlock cancelled.%1").arg(detail);
    case platform::KeeperFault::keyringFailed:
        return tr("The desktop keyring failed.%1").arg(detail);
    case platform::KeeperFault::missing:
        return tr("The desktop keyring holds no Vellumpad password: it may be locked, its unlock cancelled, or the "
                  "password was removed. Unlock it, or set the password again in Preferences.");
    case platform::KeeperFault::notGiven:
        return tr("No password was given.");
    case platform::KeeperFault::notConfirmed:
        return tr("The desktop keyring did not keep the password: reading it back gave something else.");
    }
    return {};
}

} // namespace app
