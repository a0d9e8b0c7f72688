#include "platform/password_strength.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <tuple>

namespace {

using platform::GuessablePart;
using Unit = platform::GuessTime::Unit;

struct KnownPassword {
    const char* password;
    bool weak;
    Unit unit;                              ///< of the time to guess at 10^10 guesses a second
    std::optional<GuessablePart> part = {}; ///< one kind of part that must be found
};

// Well-known passwords and patterns, judged from zxcvbn's published examples and the rule that a century is the
// least a password must hold out for.
TEST(PasswordStrength, KnownPasswordsAreJudgedByTheTimeToGuessThem) {
    const KnownPassword rows[] = {
        {"", true, Unit::lessThanASecond},
        {"password", true, Unit::lessThanASecond, GuessablePart::word},
        {"abcdefgh", true, Unit::lessThanASecond, GuessablePart::sequence},
        {"zzzzzzzzzzzz", true, Unit::lessThanASecond, GuessablePart::repeat},
        {"asdfghjkl;", true, Unit::lessThanASecond, GuessablePart::keyboardRow},
        {"19870312", true, Unit::lessThanASecond, GuessablePart::date},
        {"Tr0ub4dor&3", true, Unit::hours, GuessablePart::disguisedWord},
        {"correct horse battery staple", false, Unit::centuries},
        {"kX9#mP2$vL8@qR4!nT6&", false, Unit::centuries},
    };
    for (const KnownPassword& row : rows) {
        const platform::PasswordStrength strength = platform::estimateStrength(QString::fromUtf8(row.password));
        EXPECT_EQ(strength.weak, row.weak) << row.password;
        EXPECT_EQ(platform::guessTime(strength.secondsToGuess).unit, row.unit) << row.password;
        if (row.part) {
            EXPECT_NE(std::find(strength.parts.begin(), strength.parts.end(), *row.part), strength.parts.end())
                << row.password;
        }
    }
}

TEST(PasswordStrength, TimesAreSaidInTheLargestWholeUnit) {
    constexpr double year = 365.25 * 86400;
    // Seconds to guess, and the unit and count they are said in.
    const std::tuple<double, Unit, long long> rows[] = {
        {0.5, Unit::lessThanASecond, 0},  {1, Unit::seconds, 1},        {119, Unit::minutes, 1},
        {7200, Unit::hours, 2},           {86400 * 3.5, Unit::days, 3}, {99.9 * year, Unit::years, 99},
        {100 * year, Unit::centuries, 0},
    };
    for (const auto& [seconds, unit, count] : rows) {
        const platform::GuessTime time = platform::guessTime(seconds);
        EXPECT_EQ(time.unit, unit) << seconds;
        EXPECT_EQ(time.count, count) << seconds;
    }
}

TEST(GeneratePassword, GivesTwentyUnambiguousLettersAndDigitsThatAreStrong) {
    const QRegularExpression shape(QStringLiteral("^([a-km-np-zA-HJ-NP-Z2-9]{5}-){3}[a-km-np-zA-HJ-NP-Z2-9]{5}$"));
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i) {
        const QString password = platform::generatePassword();
        EXPECT_TRUE(shape.match(password).hasMatch()) << password.toStdString();
        EXPECT_FALSE(platform::estimateStrength(password).weak) << password.toStdString();
        seen.insert(password);
    }
    EXPECT_EQ(seen.size(), 20);
}

} // namespace
