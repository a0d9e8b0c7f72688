#include "platform/password_strength.h"

#include <zxcvbn.h>

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
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

// Fewer than this many words would make six of them easier to guess than 20 random characters are hard.
constexpr qsizetype fewestWords = 2048;
constexpr int passphraseWords = 6;
constexpr int randomCharacters = 20;

QStringList readWords(const QString& path) {
    QFile file(path);
    QStringList words;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return words;
    }
    while (!file.atEnd()) {
        const QString word = QString::fromUtf8(file.readLine()).trimmed();
        // Plain lower-case words only: no names, possessives or accents, which are hard to type and to remember.
        const bool plain = std::all_of(word.cbegin(), word.cend(), [](QChar c) { return c >= u'a' && c <= u'z'; });
        if (plain && word.size() >= 4 && word.size() <= 8) {
            words.append(word);
        }
    }
    words.removeDuplicates();
    return words;
}

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

QString generatePassword(const QString& wordListPath) {
    QRandomGenerator* random = QRandomGenerator::system();
    const QStringList words = readWords(wordListPath);
    if (words.size() >= fewestWords) {
        QStringList chosen;
        for (int i = 0; i < passphraseWords; ++i) {
            chosen.append(words.at(static_cast<qsizetype>(random->bounded(static_cast<quint32>(words.size())))));
        }
        return chosen.join(QLatin1Char('-'));
    }
    QString characters;
    for (int i = 0; i < randomCharacters; ++i) {
        characters.append(QChar(static_cast<char16_t>(u'!' + random->bounded(u'~' - u'!' + 1))));
    }
    return characters;
}

} // namespace platform
