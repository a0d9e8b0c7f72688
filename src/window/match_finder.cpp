#include "window/match_finder.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>

namespace window {

namespace {

constexpr qsizetype foldedStretch = 1024 * 1024;

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

qsizetype characterStart(QByteArrayView text, qsizetype position) {
    while (position > 0 && position < text.size() && isContinuation(text[position])) {
        --position;
    }
    return position;
}

bool isWhole(QByteArrayView text, qsizetype start, qsizetype end) {
    return !isWordCharacterAt(text, start, true) && !isWordCharacterAt(text, end, false);
}

// Exact bytes, or with ASCII letters folded. Eight places are tried at once by comparing the needle's first and last
// bytes with eight bytes of text each; only the places where both agree are compared whole. A common short word
// leaves Boyer-Moore-Horspool little to skip, and this runs several times faster over text as people write it.
class ByteSearcher {
public:
    ByteSearcher(std::string_view needle, bool foldAscii) : m_needle(needle), m_fold(foldAscii) {
        const auto pattern = [foldAscii](char c, std::uint64_t& fold, std::uint64_t& value) {
            const bool letter = foldAscii && asciiLower(c) != asciiUpper(c);
            // A letter's lower and upper case differ only in this bit.
            fold = letter ? everyByte * 0x20 : 0;
            value = everyByte * static_cast<unsigned char>(letter ? asciiLower(c) : c);
        };
        pattern(needle.front(), m_firstFold, m_first);
        pattern(needle.back(), m_lastFold, m_last);
    }

    /// Calls found(start) for each place in [from, to) where the needle matches, in order; found returns the place
    /// from which to go on (past the match, so that matches do not overlap, or just past its start).
    template <typename Found> void forEachPlace(QByteArrayView text, qsizetype from, qsizetype to, Found found) const {
        const auto length = static_cast<qsizetype>(m_needle.size());
        const qsizetype end = std::min(to, text.size() - length + 1);
        const char* data = text.data();
        qsizetype resume = from;
        qsizetype at = from;
        // Eight bytes are read at each end of the needle.
        for (; at < end && at + length - 1 + 8 <= text.size(); at = std::max(at + 8, resume)) {
            const std::uint64_t both =
                ((load(data + at) | m_firstFold) ^ m_first) | ((load(data + at + length - 1) | m_lastFold) ^ m_last);
            // Flags each byte of zero, where both ends agree; a byte above one may be flagged too, never one missed.
            std::uint64_t flagged = (both - everyByte) & ~both & (everyByte * 0x80);
            while (flagged != 0) {
                const auto [offset, bit] = lowestPlace(flagged);
                flagged &= ~bit;
                const qsizetype place = at + offset;
                if (place >= end) {
                    return;
                }
                if (place >= resume && matchesAt(data + place)) {
                    resume = found(place);
                }
            }
        }
        for (at = std::max(at, resume); at < end;) {
            at = matchesAt(data + at) ? found(at) : at + 1;
        }
    }

private:
    static constexpr std::uint64_t everyByte = 0x0101010101010101;

    static std::uint64_t load(const char* at) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, sizeof word);
        return word;
    }

    // The flagged byte first in memory, and its flag.
    static std::pair<qsizetype, std::uint64_t> lowestPlace(std::uint64_t flagged) {
        if constexpr (std::endian::native == std::endian::little) {
            return {std::countr_zero(flagged) / 8, flagged & (~flagged + 1)};
        } else {
            const int high = std::countl_zero(flagged);
            return {high / 8, std::uint64_t{1} << (63 - high)};
        }
    }

    bool matchesAt(const char* at) const {
        if (!m_fold) {
            return std::memcmp(at, m_needle.data(), m_needle.size()) == 0;
        }
        return std::equal(m_needle.begin(), m_needle.end(), at,
                          [](char a, char b) { return asciiLower(a) == asciiLower(b); });
    }

    std::string_view m_needle;
    bool m_fold;
    std::uint64_t m_firstFold = 0;
    std::uint64_t m_first = 0;
    std::uint64_t m_lastFold = 0;
    std::uint64_t m_last = 0;
};

// Exact bytes, or ASCII letters in any case, read from the text itself.
void searchBytes(QByteArrayView text, qsizetype from, qsizetype to, const FindQuery& query, bool foldAscii,
                 const std::function<void(qsizetype, qsizetype)>& found) {
    const std::string_view needle(query.needle.constData(), static_cast<std::size_t>(query.needle.size()));
    ByteSearcher(needle, foldAscii).forEachPlace(text, from, to, [&](qsizetype start) {
        const qsizetype end = start + query.needle.size();
        if (query.wholeWords && !isWhole(text, start, end)) {
            return start + 1;
        }
        found(start, end);
        return end;
    });
}

// How many bytes of UTF-8 a UTF-16 unit stands for: a surrogate pair's four are counted at its high half.
qsizetype utf8Length(char16_t unit) {
    if (unit < 0x80) {
        return 1;
    }
    if (unit < 0x800) {
        return 2;
    }
    if (QChar::isHighSurrogate(unit)) {
        return 4;
    }
    return QChar::isLowSurrogate(unit) ? 0 : 3;
}

// Counts places in a UTF-16 copy of UTF-8 text back into bytes, walking both side by side from the last place asked
// for to the next, so asking in order walks the stretch once.
class BytePlaces {
public:
    BytePlaces(const QString& units, qsizetype firstByte) : m_units(units), m_byte(firstByte) {}

    qsizetype byteAt(qsizetype unit) {
        for (; m_unit < unit; ++m_unit) {
            m_byte += utf8Length(m_units[m_unit].unicode());
        }
        return m_byte;
    }

private:
    const QString& m_units;
    qsizetype m_unit = 0;
    qsizetype m_byte;
};

// Letters beyond ASCII in any case: a stretch at a time as UTF-16, each match's place counted back into bytes.
class FoldedSearcher {
public:
    FoldedSearcher(QByteArrayView text, const FindQuery& query, const std::function<void(qsizetype, qsizetype)>& found)
        : m_text(text), m_needle(QString::fromUtf8(query.needle)), m_wholeWords(query.wholeWords), m_found(found) {}

    void search(qsizetype from, qsizetype to) const {
        // A folded match has as many UTF-16 units as the needle, each at most three bytes.
        const qsizetype overlap = 3 * m_needle.size() + 4;
        qsizetype start = from;
        while (start < to) {
            const qsizetype stretchEnd = characterStart(m_text, std::min(m_text.size(), start + foldedStretch));
            const qsizetype searchEnd = characterStart(m_text, std::min(m_text.size(), stretchEnd + overlap));
            start = std::max(stretchEnd, searchStretch(start, searchEnd, std::min(to, stretchEnd)));
        }
    }

private:
    // Reports the matches that begin in [start, limit), searching up to searchEnd so that one may run on past limit;
    // returns where the last one reported ends, or start if none.
    qsizetype searchStretch(qsizetype start, qsizetype searchEnd, qsizetype limit) const {
        const QString stretch = QString::fromUtf8(m_text.sliced(start, searchEnd - start));
        BytePlaces places(stretch, start);
        qsizetype next = start;
        for (qsizetype at = stretch.indexOf(m_needle, 0, Qt::CaseInsensitive); at >= 0;
             at = stretch.indexOf(m_needle, at + 1, Qt::CaseInsensitive)) {
            const qsizetype matchStart = places.byteAt(at);
            if (matchStart >= limit) {
                break;
            }
            if (matchStart < next) {
                continue;
            }
            const qsizetype matchEnd = places.byteAt(at + m_needle.size());
            if (!m_wholeWords || isWhole(m_text, matchStart, matchEnd)) {
                m_found(matchStart, matchEnd);
                next = matchEnd;
            }
        }
        return next;
    }

    QByteArrayView m_text;
    QString m_needle;
    bool m_wholeWords;
    const std::function<void(qsizetype, qsizetype)>& m_found;
};

} // namespace

bool isWordCharacterAt(QByteArrayView text, qsizetype position, bool before) {
    if (before ? position <= 0 : position >= text.size()) {
        return false;
    }
    // Most text is ASCII, and a match's edges are checked for every match.
    const auto beside = static_cast<unsigned char>(text[before ? position - 1 : position]);
    if (beside < 0x80) {
        return beside == '_' || std::isalnum(beside) != 0;
    }
    const qsizetype start = before ? characterStart(text, position - 1) : position;
    const qsizetype end = before ? position : std::min(text.size(), position + 4);
    const QString character = QString::fromUtf8(text.sliced(start, end - start));
    if (character.isEmpty()) {
        return false;
    }
    const QList<uint> codes = QStringView(character).toUcs4();
    const char32_t code = before ? codes.back() : codes.front();
    return code == U'_' || QChar::isLetterOrNumber(code) || QChar::category(code) == QChar::Mark_NonSpacing;
}

void forEachMatch(QByteArrayView text, qsizetype from, qsizetype to, const FindQuery& query,
                  const std::function<void(qsizetype start, qsizetype end)>& found) {
    if (query.needle.isEmpty() || from >= to) {
        return;
    }
    const std::string_view needle(query.needle.constData(), static_cast<std::size_t>(query.needle.size()));
    if (query.matchCase) {
        searchBytes(text, from, to, query, false, found);
        return;
    }
    if (std::all_of(needle.begin(), needle.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        searchBytes(text, from, to, query, true, found);
        return;
    }
    FoldedSearcher(text, query, found).search(from, to);
}

} // namespace window
