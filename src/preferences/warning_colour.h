#pragma once

#include <QColor>
#include <QPalette>

namespace preferences {

/// The colour of a warning in this palette. The palette has none: the text colour drawn halfway to red keeps most of
/// its contrast in light and dark themes alike, where a fixed red is all but invisible on a dark background.
[[nodiscard]] inline QColor warningColour(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor red(218, 68, 83);
    const auto half = [](int from, int to) { return (from + to + 1) / 2; };
    return QColor(half(text.red(), red.red()), half(text.green(), red.green()), half(text.blue(), red.blue()));
}

} // namespace preferences
