#include "window/match_finder.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
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

// Boyer-Moore-Horspool with ASCII letters folded; the standard searcher given a folding hash keeps its table in a
// hash map, several times slower than this one of 256 shifts.
class AsciiFoldedSearcher {
public:
    explicit AsciiFoldedSearcher(std::string_view needle) : m_needle(needle) {
        m_shift.fill(needle.size());
        for (std::size_t i = 0; i + 1 < needle.size(); ++i) {
            const char folded = asciiLower(needle[i]);
            m_shift[static_cast<unsigned char>(folded)] = needle.size() - 1 - i;
            m_shift[static_cast<unsigned char>(asciiUpper(folded))] = needle.size() - 1 - i;
        }
    }

    std::pair<const char*, const char*> operator()(const char* begin, const char* end) const {
        const std::size_t length = m_needle.size();
        for (const char* at = begin; static_cast<std::size_t>(end - at) >= length;) {
            const char last = at[length - 1];
            if (asciiLower(last) == asciiLower(m_needle[length - 1]) &&
                std::equal(m_needle.begin(), m_needle.end() - 1, at,
                           [](char a, char b) { return asciiLower(a) == asciiLower(b); })) {
                return {at, at + length};
            }
            at += m_shift[static_cast<unsigned char>(last)];
        }
        return {end, end};
    }

private:
    std::string_view m_needle;
    std::array<std::size_t, 256> m_shift{};
};

// Exact or ASCII-folded bytes: a Boyer-Moore-Horspool search over the text itself.
template <typename Searcher>
void searchBytes(QByteArrayView text, qsizetype from, qsizetype to, const FindQuery& query, const Searcher& searcher,
                 const std::function<void(qsizetype, qsizetype)>& found) {
    const char* begin = text.data();
    const char* at = begin + from;
    const char* end = begin + text.size();
    while (at < end) {
        const auto [matchBegin, matchEnd] = searcher(at, end);
        const qsizetype start = matchBegin - begin;
        if (matchBegin == end || start >= to) {
            return;
        }
        if (!query.wholeWords || isWhole(text, start, matchEnd - begin)) {
            found(start, matchEnd - begin);
            at = matchEnd;
        } else {
            at = matchBegin + 1;
        }
    }
}

// Letters beyond ASCII in any case: a stretch at a time as UTF-16, each match's place counted back into bytes.
void searchFolded(QByteArrayView text, qsizetype from, qsizetype to, const FindQuery& query,
                  const std::function<void(qsizetype, qsizetype)>& found) {
    const QString needle = QString::fromUtf8(query.needle);
    // A folded match has as many UTF-16 units as the needle, each at most three bytes.
    const qsizetype overlap = 3 * needle.size() + 4;
    qsizetype start = from;
    while (start < to) {
        const qsizetype stretchEnd = characterStart(text, std::min(text.size(), start + foldedStretch));
        const qsizetype searchEnd = characterStart(text, std::min(text.size(), stretchEnd + overlap));
        const QString stretch = QString::fromUtf8(text.sliced(start, searchEnd - start));
        qsizetype unit = 0;
        qsizetype byte = start;
        // Walks the UTF-8 and the UTF-16 side by side from the last place found to the next.
        const auto byteAt = [&](qsizetype wanted) {
            for (; unit < wanted; ++unit) {
                const char16_t c = stretch[unit].unicode();
                byte += c < 0x80 ? 1 : c < 0x800 ? 2 : QChar::isHighSurrogate(c) ? 4 : QChar::isLowSurrogate(c) ? 0 : 3;
            }
            return byte;
        };
        qsizetype next = start;
        for (qsizetype at = stretch.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
             at = stretch.indexOf(needle, at + 1, Qt::CaseInsensitive)) {
            const qsizetype matchStart = byteAt(at);
            if (matchStart >= std::min(to, stretchEnd)) {
                break;
            }
            if (matchStart < next) {
                continue;
            }
            const qsizetype matchEnd = byteAt(at + needle.size());
            if (!query.wholeWords || isWhole(text, matchStart, matchEnd)) {
                found(matchStart, matchEnd);
                next = matchEnd;
            }
        }
        start = std::max(stretchEnd, next);
    }
}

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
        searchBytes(text, from, to, query, std::boyer_moore_horspool_searcher(needle.begin(), needle.end()), found);
        return;
    }
    if (std::all_of(needle.begin(), needle.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        searchBytes(text, from, to, query, AsciiFoldedSearcher(needle), found);
        return;
    }
    searchFolded(text, from, to, query, found);
}

} // namespace window
