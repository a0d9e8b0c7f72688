#pragma once

#include <QByteArrayView>

namespace window {

/// The longest word that is one run: Scintilla keeps the measured widths of runs shorter than 30 bytes only.
inline constexpr qsizetype longestWholeWord = 24;

/// The run of UTF-8 text that begins at start (start < text.size()); the byte before start, if any, tells whether start
/// lies inside a word. Scintilla measures each run of same-styled text with one text layout and remembers the widths
/// of short runs, so a note cut into runs that repeat is measured once per distinct run. A run is a word (what lies
/// between spaces) with the one space after it, a stretch of spaces or a control character; a word longer than
/// longestWholeWord is cut into runs of two grapheme clusters. A cut falls only where a grapheme cluster ends, never
/// between CR and LF, and beside a character that may shape with its neighbours (one of Arabic, the Indic scripts,
/// Hangul jamo and the like, or a mark, joiner or modifier) or a byte that is not part of well-formed UTF-8 (such as a
/// character that the end of text cuts short) only at a control character or before a space.
struct Run {
    qsizetype end = 0;
    /// Whether the run begins inside a long word, at a character before which that word is always cut, whatever
    /// precedes it: runs restyled after an edit fall where they fell before from the next such character on.
    bool anchored = false;
};
[[nodiscard]] Run cutRun(QByteArrayView text, qsizetype start);

/// How many grapheme clusters the UTF-8 text holds (what the arrow keys step over), as Qt counts them. Stretches of
/// characters drawn one by one are counted a character at a time; only the others go through Qt's boundary finder.
[[nodiscard]] qsizetype graphemeClusterCount(QByteArrayView text);

/// The grapheme clusters of a text counted up to the last place where one surely ends, whatever follows: counting
/// on from there later counts the same as counting the whole text again.
struct SureClusterCount {
    qsizetype end = 0;          // the place
    qsizetype clusters = 0;     // the clusters before it
    qsizetype restClusters = 0; // the clusters from it to the end of the text, as far as the text goes
};

/// graphemeClusterCount, with the last place where a cluster surely ends.
[[nodiscard]] SureClusterCount sureClusterCount(QByteArrayView text);

} // namespace window
