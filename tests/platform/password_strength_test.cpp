#include "platform/password_strength.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

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
        EXPECT_DOUBLE_EQ(strength.secondsToGuess, std::exp2(strength.bits) / platform::guessesPerSecond);
        if (row.part) {
            EXPECT_NE(std::find(strength.parts.begin(), strength.parts.end(), *row.part), strength.parts.end())
                << row.password;
        }
    }
}

TEST(PasswordStrength, TimesAreSaidInTheLargestWholeUnit) {
    constexpr double year = 365.25 * 86400;
    const struct {
        double seconds;
        Unit unit;
        long long count;
    } rows[] = {
        {0.5, Unit::lessThanASecond, 0},  {1, Unit::seconds, 1},        {119, Unit::minutes, 1},
        {7200, Unit::hours, 2},           {86400 * 3.5, Unit::days, 3}, {99.9 * year, Unit::years, 99},
        {100 * year, Unit::centuries, 0},
    };
    for (const auto& row : rows) {
        const platform::GuessTime time = platform::guessTime(row.seconds);
        EXPECT_EQ(time.unit, row.unit) << row.seconds;
        EXPECT_EQ(time.count, row.count) << row.seconds;
    }
}

TEST(GeneratePassword, GivesSixWordsFromTheListOrElseTwentyCharacters) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("words"));
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QSet<QString> words;
    // Names, possessives and words too short or too long are never taken.
    file.write("Alice\nzebra's\nab\nabcdefghij\n");
    for (int i = 0; i < 3000; ++i) {
        QString word;
        for (int n = i; word.size() < 5; n /= 26) {
            word.append(QChar(u'a' + n % 26));
        }
        words.insert(word);
        file.write(word.toUtf8() + '\n');
    }
    file.close();

    const QString passphrase = platform::generatePassword(list);
    const QStringList parts = passphrase.split(QLatin1Char('-'));
    ASSERT_EQ(parts.size(), 6) << passphrase.toStdString();
    for (const QString& part : parts) {
        EXPECT_TRUE(words.contains(part)) << part.toStdString();
    }
    EXPECT_NE(platform::generatePassword(list), passphrase);

    // Too few words, or none: 20 printable ASCII characters, about 131 bits.
    const QString characters = platform::generatePassword(dir.filePath(QStringLiteral("missing")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[!-~]{20}$")).match(characters).hasMatch())
        << characters.toStdString();
}

} // namespace
