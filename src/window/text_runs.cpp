#include "window/text_runs.h"

#include <QChar>
#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>

namespace window {

namespace {

// Free: drawn on its own, so a cut may fall on either side of it. Joining: a letter of a script whose letters shape
// together (Arabic, the Indic scripts, Hangul jamo, ...), which begins a cluster but must not be measured apart from
// its neighbours; a cut may fall only between it and a space before it. Mark: what may continue a cluster or cannot
// stand alone (marks, joiners, modifiers, bytes of ill-formed UTF-8); no cut next to it but at a control character.
enum class Kind : unsigned char { Space, Control, Free, Joining, Mark };

struct Unit {
    qsizetype length;
    Kind kind;
};

// Scripts whose characters are drawn one by one: a layout of a word measures the same as its characters apart.
bool drawnOneByOne(QChar::Script script) {
    switch (script) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
        return true;
    default:
        return false;
    }
}

// Categories that never continue a cluster nor begin one that takes in what precedes it. Marks, format characters
// (the joiners, tags), modifier letters and symbols (such as the halfwidth sound marks and the emoji skin tones)
// are left out.
bool standsAlone(QChar::Category category) {
    switch (category) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Other:
    case QChar::Separator_Space:
        return true;
    default:
        return false;
    }
}

bool continuesCluster(char32_t character, QChar::Category category) {
    switch (category) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
    case QChar::Other_Control:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Letter_Modifier:
    case QChar::Symbol_Modifier:
        return true;
    default:
        // The Thai and Lao letters AM are spacing marks all the same.
        return character == 0x0E33 || character == 0x0EB3;
    }
}

Kind lookUpKind(char32_t character) {
    const QChar::Category category = QChar::category(character);
    // Regional indicators pair up into flags.
    const bool regionalIndicator = character >= 0x1F1E6 && character <= 0x1F1FF;
    if (!regionalIndicator && standsAlone(category) && drawnOneByOne(QChar::script(character))) {
        return Kind::Free;
    }
    return continuesCluster(character, category) ? Kind::Mark : Kind::Joining;
}

// Looking up a character's category and script took a good part of the time spent cutting a note into runs; the
// kinds of the Basic Multilingual Plane, where nearly all text of a note lies, and of the next plane, where most emoji
// lie, are looked up once (in about a millisecond).
[[gnu::always_inline]] inline Kind kindOf(char32_t character) {
    constexpr char32_t tableSize = 0x20000;
    static const std::array<Kind, tableSize> table = [] {
        std::array<Kind, tableSize> kinds{};
        for (char32_t each = 0; each < tableSize; ++each) {
            kinds[each] = lookUpKind(each);
        }
        return kinds;
    }();
    return character < tableSize ? table[character] : lookUpKind(character);
}

// The six bits a byte that continues a character carries, -1 for a byte that does not.
inline int continuationBits(char byte) {
    const auto bits = static_cast<unsigned char>(byte);
    return (bits & 0xC0) == 0x80 ? bits & 0x3F : -1;
}

// The character that begins with lead, a byte of 0x80 or above; a byte that does not begin a well-formed sequence
// (a continuation byte, an overlong form, a surrogate, past U+10FFFF or cut short) is a mark of its own.
[[gnu::always_inline]] inline Unit multiByteUnitAt(QByteArrayView text, qsizetype at, unsigned char lead) {
    const qsizetype left = text.size() - at;
    const auto continuation = [text, at](qsizetype i) { return continuationBits(text[at + i]); };
    if (lead >= 0xC2 && lead < 0xE0 && left >= 2) {
        const int second = continuation(1);
        if (second >= 0) {
            return {2, kindOf(static_cast<char32_t>(((lead & 0x1F) << 6) | second))};
        }
    } else if (lead >= 0xE0 && lead < 0xF0 && left >= 3) {
        const int second = continuation(1);
        const int third = continuation(2);
        const auto character = static_cast<char32_t>(((lead & 0x0F) << 12) | (second << 6) | third);
        if (second >= 0 && third >= 0 && character >= 0x800 && (character < 0xD800 || character > 0xDFFF)) {
            return {3, kindOf(character)};
        }
    } else if (lead >= 0xF0 && lead < 0xF5 && left >= 4) {
        const int second = continuation(1);
        const int third = continuation(2);
        const int fourth = continuation(3);
        const auto character = static_cast<char32_t>(((lead & 0x07) << 18) | (second << 12) | (third << 6) | fourth);
        if (second >= 0 && third >= 0 && fourth >= 0 && character >= 0x10000 && character <= 0x10FFFF) {
            return {4, kindOf(character)};
        }
    }
    return {1, Kind::Mark};
}

// ASCII, nearly all of most notes, is told apart here, where the compiler can put it in line.
[[gnu::always_inline]] inline Unit unitAt(QByteArrayView text, qsizetype at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead == ' ') {
        return {1, Kind::Space};
    }
    if (lead < 0x20 || lead == 0x7F) {
        return {1, Kind::Control};
    }
    if (lead < 0x80) {
        return {1, Kind::Free};
    }
    return multiByteUnitAt(text, at, lead);
}

bool mayCut(Kind before, Kind after) {
    // A control character is a cluster of its own (CR LF is taken apart by the caller).
    if (before == Kind::Control || after == Kind::Control) {
        return true;
    }
    const bool beforeFree = before == Kind::Free || before == Kind::Space;
    switch (after) {
    case Kind::Free:
    case Kind::Space:
        // Not after a joining letter or a mark: either may go before what follows (a prefixed sign, a joiner).
        return beforeFree;
    case Kind::Joining:
        return before == Kind::Space;
    default:
        return false;
    }
}

// Whether the character at `at` is one before which a long word is always cut. Pairs counted from wherever cutting
// began would fall one cluster apart after a cluster is typed, up to the end of the word, and the whole rest of a
// long line would be restyled and measured again; cuts fixed by the text itself bring them back in step within a few
// characters. About one character in sixteen, chosen by its last byte.
bool anchorsCut(QByteArrayView text, qsizetype at, const Unit& unit) {
    return (static_cast<unsigned char>(text[at + unit.length - 1]) & 0x0F) == 0;
}

// A long word: runs of two grapheme clusters, few enough kinds of run to be remembered (pairs of letters or of
// ideographs repeat) and half as many runs to look up as single clusters; a run ends early before an anchor.
qsizetype clusterRunEnd(QByteArrayView text, qsizetype start, const Unit& first) {
    constexpr int clustersPerRun = 2;
    int clusters = 0;
    Kind previous = first.kind;
    qsizetype at = start + first.length;
    while (at < text.size()) {
        const Unit next = unitAt(text, at);
        if (mayCut(previous, next.kind) && (++clusters == clustersPerRun || next.kind == Kind::Space ||
                                            next.kind == Kind::Control || anchorsCut(text, at, next))) {
            return at;
        }
        previous = next.kind;
        at += next.length;
    }
    return text.size();
}

// A word takes the one space after it into its run, which halves the runs of everyday text that Scintilla looks up
// as it lays out a line; a stretch of spaces stays a run of its own, and so does a space a mark goes with.
[[gnu::always_inline]] inline qsizetype withSpaceAfter(QByteArrayView text, qsizetype space) {
    if (space + 1 == text.size()) {
        return space + 1;
    }
    const Kind after = unitAt(text, space + 1).kind;
    return after != Kind::Space && mayCut(Kind::Space, after) ? space + 1 : space;
}

// A control character is a run of its own, CR LF one run together.
qsizetype controlRunEnd(QByteArrayView text, qsizetype start) {
    const qsizetype at = start + 1;
    const bool crLf = text[start] == '\r' && at < text.size() && text[at] == '\n';
    return crLf ? at + 1 : at;
}

// Short words are never cut, so a run that begins inside a word is part of a long one.
bool startsInsideWord(QByteArrayView text, qsizetype start) {
    const auto before = start > 0 ? static_cast<unsigned char>(text[start - 1]) : ' ';
    return before > ' ' && before != 0x7F;
}

// Most of a note is letters or spaces, which may be cut anywhere: skipped at once up to a run's length.
qsizetype pastSpaces(QByteArrayView text, qsizetype start, qsizetype at) {
    const qsizetype end = std::min(text.size(), start + longestWholeWord);
    while (at < end && text[at] == ' ') {
        ++at;
    }
    return at;
}

// The characters are decoded in line: a call for each cost as much as the decoding.
[[gnu::always_inline]] inline qsizetype pastFreeCharacters(QByteArrayView text, qsizetype start, qsizetype at) {
    const qsizetype end = std::min(text.size(), start + longestWholeWord);
    while (at < end) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            if (lead <= ' ' || lead == 0x7F) {
                break;
            }
            ++at;
            continue;
        }
        const Unit unit = multiByteUnitAt(text, at, lead);
        if (unit.kind != Kind::Free) {
            break;
        }
        at += unit.length;
    }
    return at;
}

// Any run; cutRun takes the commonest, a short word, a shorter way (kept apart, so that way stays small).
[[gnu::noinline]] Run anyRun(QByteArrayView text, qsizetype start) {
    const auto lead = static_cast<unsigned char>(text[start]);
    if (lead < ' ' || lead == 0x7F) {
        return {controlRunEnd(text, start), false};
    }
    const bool spaces = lead == ' ';
    if (!spaces && startsInsideWord(text, start)) {
        const Unit first = unitAt(text, start);
        return {clusterRunEnd(text, start, first), first.kind == Kind::Free && anchorsCut(text, start, first)};
    }
    // After a letter of the word, or a space of the stretch, a character that may be cut on either side goes on the
    // run as that letter or space did.
    const Kind plain = spaces ? Kind::Space : Kind::Free;
    const auto pastPlain = [&](qsizetype at) {
        return spaces ? pastSpaces(text, start, at) : pastFreeCharacters(text, start, at);
    };
    Kind previous = plain;
    qsizetype at = pastPlain(start);
    if (at == start) { // a joining letter or a mark
        const Unit first = unitAt(text, start);
        previous = first.kind;
        at += first.length;
    }
    while (at < text.size()) {
        const Unit next = unitAt(text, at);
        if (mayCut(previous, next.kind)) {
            const bool kindChanges =
                next.kind == Kind::Control || (previous == Kind::Space) != (next.kind == Kind::Space);
            if (kindChanges || (spaces && at - start >= longestWholeWord)) {
                return {!spaces && next.kind == Kind::Space ? withSpaceAfter(text, at) : at, false};
            }
            if (at - start >= longestWholeWord) {
                return {clusterRunEnd(text, start, unitAt(text, start)), false};
            }
        }
        previous = next.kind;
        at += next.length;
        if (previous == plain) {
            at = pastPlain(at);
        }
    }
    return {text.size(), false};
}

} // namespace

Run cutRun(QByteArrayView text, qsizetype start) {
    // A word of characters that may be cut on either side, no longer than a run may be, ends at the space or control
    // character after it; anything else goes the long way.
    const auto lead = static_cast<unsigned char>(text[start]);
    if (lead > ' ' && lead != 0x7F && !startsInsideWord(text, start)) {
        const qsizetype end = pastFreeCharacters(text, start, start);
        if (end > start && end < text.size()) {
            const auto after = static_cast<unsigned char>(text[end]);
            if (after == ' ') {
                return {withSpaceAfter(text, end), false};
            }
            if (after < ' ' || after == 0x7F) {
                return {end, false};
            }
        }
    }
    return anyRun(text, start);
}

qsizetype graphemeClusterCount(QByteArrayView text) {
    const SureClusterCount sure = sureClusterCount(text);
    return sure.clusters + sure.restClusters;
}

SureClusterCount sureClusterCount(QByteArrayView text) {
    SureClusterCount sure;
    qsizetype count = 0;
    qsizetype stretchStart = 0;
    qsizetype units = 0;
    const auto countStretch = [&](qsizetype end) {
        if (units > 1) {
            QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme,
                                         QString::fromUtf8(text.sliced(stretchStart, end - stretchStart)));
            while (clusters.toNextBoundary() != -1) {
                ++count;
            }
        } else {
            count += units;
        }
        stretchStart = end;
        units = 0;
    };
    Kind previous = Kind::Control;
    for (qsizetype at = 0; at < text.size();) {
        const Unit next = unitAt(text, at);
        // Where a run may be cut, a cluster surely ends.
        const bool crLf = at > 0 && text[at - 1] == '\r' && text[at] == '\n';
        if (at > 0 && mayCut(previous, next.kind) && !crLf) {
            countStretch(at);
            sure.end = at;
            sure.clusters = count;
        }
        ++units;
        previous = next.kind;
        at += next.length;
    }
    countStretch(text.size());
    sure.restClusters = count - sure.clusters;
    return sure;
}

} // namespace window
