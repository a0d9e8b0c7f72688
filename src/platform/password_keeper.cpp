#include "platform/password_keeper.h"

#include <array>
#include <utility>

namespace platform {
namespace {

constexpr std::array<std::pair<PasswordPlace, const char*>, 3> placeNames{{
    {PasswordPlace::preferencesFile, "preferences"},
    {PasswordPlace::keyring, "keyring"},
    {PasswordPlace::nowhere, "nowhere"},
}};

QString key(const char* name) {
    return QString::fromLatin1(name);
}

} // namespace

std::optional<PasswordPlace> recordedPasswordPlace(const Preferences& preferences) {
    const std::optional<QString> recorded = preferences.stringForKey(key(passwordPlaceKey));
    if (!recorded) {
        return preferences.holdsKey(key(passwordPlaceKey)) ? std::nullopt
                                                           : std::optional(PasswordPlace::preferencesFile);
    }
    for (const auto& [place, name] : placeNames) {
        if (*recorded == QLatin1String(name)) {
            return place;
        }
    }
    return std::nullopt;
}

bool recordPasswordPlace(Preferences& preferences, PasswordPlace place) {
    for (const auto& [known, name] : placeNames) {
        if (known == place) {
            return preferences.setString(key(passwordPlaceKey), QString::fromLatin1(name));
        }
    }
    return false;
}

PasswordRead PreferencesPasswordKeeper::read() {
    // One rule for the editor and the command-line tool: what is stored but no usable text is never the empty
    // password, which would protect nothing.
    const std::optional<QByteArray> stored = storedPasswordUtf8(m_preferences);
    if (!stored) {
        return KeeperFailure{KeeperFault::unusable};
    }
    return QString::fromUtf8(*stored);
}

std::optional<KeeperFailure> PreferencesPasswordKeeper::write(const QString& password) {
    if (!m_preferences.setString(key(passwordKey), password)) {
        return KeeperFailure{KeeperFault::notWritable};
    }
    return std::nullopt;
}

std::optional<KeeperFailure> PreferencesPasswordKeeper::remove() {
    if (!m_preferences.remove(key(passwordKey))) {
        return KeeperFailure{KeeperFault::notWritable};
    }
    return std::nullopt;
}

} // namespace platform
