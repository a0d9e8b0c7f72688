#pragma once

#include <QString>

#include <vector>

namespace platform {

/// The guesses a second assumed of an offline attacker: each costs one MD5 and one AES block, and one graphics card
/// makes about this many.
inline constexpr double guessesPerSecond = 1e10;
/// A password that would be guessed sooner than this, in seconds (a century), is weak.
inline constexpr double weakBelowSeconds = 100.0 * 365.25 * 24 * 3600;

/// A kind of part that makes a password easy to guess, as the estimate found it.
enum class GuessablePart { word, disguisedWord, repeat, sequence, keyboardRow, date, shortRandom };

/// How long a password would hold out against offline guessing, by zxcvbn's estimate.
struct PasswordStrength {
    double bits = 0;                    ///< log2 of the guesses needed
    double secondsToGuess = 0;          ///< at guessesPerSecond
    bool weak = true;                   ///< guessed in less than weakBelowSeconds
    std::vector<GuessablePart> parts{}; ///< the guessable kinds of part found, each once, in the order met
};

/// The estimate for password; nothing of it is kept.
[[nodiscard]] PasswordStrength estimateStrength(const QString& password);

/// A time to guess, rounded down to whole units for saying it: the count of the largest unit that fits.
struct GuessTime {
    enum class Unit { lessThanASecond, seconds, minutes, hours, days, years, centuries } unit;
    long long count; ///< of unit; 0 for lessThanASecond and centuries
};
[[nodiscard]] GuessTime guessTime(double seconds);

/// A random password of 20 letters and digits, without those that look alike (0 O o, 1 I l), in four groups of
/// five joined by '-': about 117 bits. Randomness comes from the operating system.
[[nodiscard]] QString generatePassword();

} // namespace platform
