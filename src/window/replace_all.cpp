#include "window/replace_all.h"

#include "cipher/base/bytes.h"
#include "window/match_finder.h"
#include "window/note_text_view.h"

#include <algorithm>
#include <vector>

namespace window {

qsizetype replaceAll(NoteTextView& textView, const FindQuery& query, QByteArrayView replacement) {
    if (query.needle.isEmpty()) {
        return 0;
    }
    const QByteArrayView text = textView.bytes();
    std::vector<std::pair<qsizetype, qsizetype>> matches;
    forEachMatch(text, 0, text.size(), query,
                 [&matches](qsizetype start, qsizetype end) { matches.emplace_back(start, end); });
    if (matches.empty()) {
        return 0;
    }
    // The span from the first match to the last is rebuilt once and put in as one edit: an edit per match would
    // cost a step of Undo each and, in a long note, far more time.
    const qsizetype first = matches.front().first;
    const qsizetype last = matches.back().second;
    // Sized exactly, so that no copy of note text is left behind unwiped by a growing buffer.
    qsizetype rebuiltSize = last - first;
    for (const auto& [start, end] : matches) {
        rebuiltSize += replacement.size() - (end - start);
    }
    QByteArray rebuilt(rebuiltSize, Qt::Uninitialized);
    // Copied straight into place: with a match every few words, appending piece by piece costs several times more.
    char* into = rebuilt.data();
    qsizetype kept = first;
    for (const auto& [start, end] : matches) {
        into = std::copy(text.data() + kept, text.data() + start, into);
        into = std::copy(replacement.begin(), replacement.end(), into);
        kept = end;
    }
    textView.replace(first, last, rebuilt);
    // The rebuilt span is note text: wiped before its memory goes back.
    cipher::cleanse(rebuilt.data(), static_cast<std::size_t>(rebuilt.size()));
    return static_cast<qsizetype>(matches.size());
}

} // namespace window
