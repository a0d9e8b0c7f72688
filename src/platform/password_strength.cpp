#include "platform/password_strength.h"

#include <zxcvbn.h>

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace platform {
namespace {

std::optional<GuessablePart> partOf(ZxcTypeMatch_t type) {
    switch (static_cast<int>(type) & ~MULTIPLE_MATCH) {
    case DICTIONARY_MATCH:
    case USER_MATCH:
        return GuessablePart::word;
    case DICT_LEET_MATCH:
    case USER_LEET_MATCH:
        return GuessablePart::disguisedWord;
    case REPEATS_MATCH:
        return GuessablePart::repeat;
    case SEQUENCE_MATCH:
        return GuessablePart::sequence;
    case SPATIAL_MATCH:
        return GuessablePart::keyboardRow;
    case DATE_MATCH:
    case YEAR_MATCH:
        return GuessablePart::date;
    default:
        return std::nullopt;
    }
}

// Letters and digits type alike on every keyboard layout; symbols do not. Look-alikes are left out so that a
// password written down reads back as it was.
constexpr std::u16string_view generatedAlphabet = u"abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
constexpr int generatedGroups = 4;
constexpr int generatedGroupLength = 5;

} // namespace

PasswordStrength estimateStrength(const QString& password) {
    QByteArray utf8 = password.toUtf8();
    ZxcMatch_t* info = nullptr;
    PasswordStrength strength;
    strength.bits = ZxcvbnMatch(utf8.constData(), nullptr, &info);
    const std::unique_ptr<ZxcMatch_t, void (*)(ZxcMatch_t*)> matches(info, ZxcvbnFreeInfo);
    std::fill(utf8.begin(), utf8.end(), '\0');
    strength.secondsToGuess = std::exp2(strength.bits) / guessesPerSecond;
    strength.weak = strength.secondsToGuess < weakBelowSeconds;
    for (const ZxcMatch_t* match = info; match != nullptr; match = match->Next) {
        std::optional<GuessablePart> part = partOf(match->Type);
        // A short stretch of random characters is guessable only when little else is there to guess.
        if (!part && match->Type == BRUTE_MATCH && match->Length == static_cast<int>(utf8.size()) && strength.weak) {
            part = GuessablePart::shortRandom;
        }
        if (part && std::find(strength.parts.begin(), strength.parts.end(), *part) == strength.parts.end()) {
            strength.parts.push_back(*part);
        }
    }
    return strength;
}

GuessTime guessTime(double seconds) {
    using Unit = GuessTime::Unit;
    constexpr double minute = 60;
    constexpr double hour = 60 * minute;
    constexpr double day = 24 * hour;
    constexpr double year = 365.25 * day;
    if (seconds < 1) {
        return {Unit::lessThanASecond, 0};
    }
    if (seconds >= 100 * year) {
        return {Unit::centuries, 0};
    }
    for (const auto& [unit, length] : {std::pair{Unit::years, year}, std::pair{Unit::days, day},
                                       std::pair{Unit::hours, hour}, std::pair{Unit::minutes, minute}}) {
        if (seconds >= length) {
            return {unit, static_cast<long long>(seconds / length)};
        }
    }
    return {Unit::seconds, static_cast<long long>(seconds)};
}

QString generatePassword() {
    QRandomGenerator* random = QRandomGenerator::system();
    QString password;
    for (int group = 0; group < generatedGroups; ++group) {
        if (group > 0) {
            password.append(QLatin1Char('-'));
        }
        for (int i = 0; i < generatedGroupLength; ++i) {
            password.append(QChar(generatedAlphabet[random->bounded(static_cast<quint32>(generatedAlphabet.size()))]));
        }
    }
    return password;
}

} // namespace platform
