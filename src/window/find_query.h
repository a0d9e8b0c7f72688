#pragma once

#include <QByteArray>

namespace window {

/// What the find bar looks for: the text as UTF-8 and how it must match.
struct FindQuery {
    QByteArray needle;
    bool matchCase = false;
    bool wholeWords = false;

    bool operator==(const FindQuery&) const = default;
};

} // namespace window
