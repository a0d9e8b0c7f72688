#pragma once

#include "window/find_query.h"

#include <QByteArrayView>

namespace window {

class NoteTextView;

/// Replaces every match of query in textView with replacement, all as one step for Undo; returns how many it
/// replaced (0, changing nothing, when none matched or the needle is empty).
qsizetype replaceAll(NoteTextView& textView, const FindQuery& query, QByteArrayView replacement);

} // namespace window
