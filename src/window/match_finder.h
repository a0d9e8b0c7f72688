#pragma once

#include "window/find_query.h"

#include <QByteArrayView>

#include <functional>

namespace window {

/// Whether the character just before (before) or just after position in the UTF-8 text is part of a word: a letter,
/// a digit, a combining mark or "_". False at either end of the text.
[[nodiscard]] bool isWordCharacterAt(QByteArrayView text, qsizetype position, bool before);

/// Calls found(start, end) for each match of query in the UTF-8 text that starts in [from, to), in order and not
/// overlapping; a match may end past to. Matches as the note view's own search does: exact bytes with matchCase,
/// otherwise ASCII letters in any case for a needle of ASCII only and any letter in any case for one with others;
/// with wholeWords only matches not next to a word character. Reads the text directly, a stretch at a time, so that
/// a note of a hundred megabytes takes well under a second.
void forEachMatch(QByteArrayView text, qsizetype from, qsizetype to, const FindQuery& query,
                  const std::function<void(qsizetype start, qsizetype end)>& found);

} // namespace window
