#include "cli/password_places.h"

#include "cli/command_support.h"

#include "platform/password_keeper.h"
#include "platform/password_strength.h"

#include <QByteArray>

#include <string>
#include <variant>

namespace cli {
namespace {

std::string plural(long long count, const char* unit) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

std::string timeToGuess(double seconds) {
    const platform::GuessTime time = platform::guessTime(seconds);
    using Unit = platform::GuessTime::Unit;
    switch (time.unit) {
    case Unit::lessThanASecond:
        return "less than a second";
    case Unit::seconds:
        return "about " + plural(time.count, "second");
    case Unit::minutes:
        return "about " + plural(time.count, "minute");
    case Unit::hours:
        return "about " + plural(time.count, "hour");
    case Unit::days:
        return "about " + plural(time.count, "day");
    case Unit::years:
        return "about " + plural(time.count, "year");
    case Unit::centuries:
        break;
    }
    return "centuries";
}

std::string keyringCause(const platform::KeeperFailure& failure) {
    const std::string detail = failure.detail.isEmpty() ? std::string() : " (" + failure.detail.toStdString() + ")";
    switch (failure.fault) {
    case platform::KeeperFault::noKeyring:
        return "no desktop keyring answers on the session bus" + detail;
    case platform::KeeperFault::keyringDenied:
        return "the desktop keyring refused access; it may be locked" + detail;
    case platform::KeeperFault::missing:
        return "the desktop keyring holds no Vellumpad password; it may be locked, or the password was removed";
    default:
        break;
    }
    return "the desktop keyring failed" + detail;
}

// Why the stored password in the preferences file cannot be used.
std::string unusableCause(const platform::Preferences& preferences) {
    switch (preferences.fault()) {
    case platform::StoreFault::notAFile:
        return "the preferences file is not a regular file";
    case platform::StoreFault::unreadable:
        return "the preferences file cannot be read";
    case platform::StoreFault::damaged:
        return "the preferences file is damaged";
    case platform::StoreFault::none:
        break;
    }
    return "it is not valid text (was the preferences file edited by hand?)";
}

} // namespace

Outcome<cipher::SecureBytes> editorPassword(const Environment& environment) {
    const std::optional<platform::PasswordPlace> place = platform::recordedPasswordPlace(environment.preferences);
    if (place == platform::PasswordPlace::nowhere) {
        return Problem{"the editor keeps its password nowhere (it asks for it each run): use -p or "
                       "--password-file"};
    }
    if (place == platform::PasswordPlace::keyring) {
        platform::PasswordRead read =
            environment.keyring != nullptr
                ? environment.keyring->read()
                : platform::PasswordRead(platform::KeeperFailure{platform::KeeperFault::noKeyring});
        if (const auto* failure = std::get_if<platform::KeeperFailure>(&read)) {
            return Problem{"the stored password cannot be read: " + keyringCause(*failure) +
                           "; unlock the keyring or use --password-file"};
        }
        QString& password = std::get<QString>(read);
        QByteArray utf8 = password.toUtf8();
        password.fill(QChar(0));
        cipher::SecureBytes bytes(utf8.cbegin(), utf8.cend());
        cipher::cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
        return bytes;
    }
    const std::optional<QByteArray> stored =
        place ? platform::storedPasswordUtf8(environment.preferences) : std::nullopt;
    if (!stored) {
        // Read as the empty password, or with '?' for what is not text, it would key the note by a password
        // nobody chose.
        return Problem{"the stored password is unusable: " + unusableCause(environment.preferences) +
                       "; set it again in the editor or use --password-file"};
    }
    return cipher::SecureBytes(stored->begin(), stored->end());
}

bool takesEditorPassword(const Command& command) {
    return (command.kind == CommandKind::encrypt || command.kind == CommandKind::decrypt) &&
           command.passwordFile.empty() && !command.askPassword;
}

void warnIfWeak(const cipher::SecureBytes& password, const Environment& environment) {
    if (password.empty()) {
        return;
    }
    const std::string_view text = cipher::asText(password);
    const platform::PasswordStrength strength =
        platform::estimateStrength(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (strength.weak) {
        report(environment, "warning: this password is weak: at 10^10 guesses a second (one graphics card) it "
                            "could be guessed in " +
                                timeToGuess(strength.secondsToGuess) + "; a passphrase of several words is safer");
    }
}

} // namespace cli
