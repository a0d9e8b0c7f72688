#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QRect>
#include <QStyle>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>

// The contrast ratio of WCAG 2: text needs at least 4.5 against what is behind it.
inline double contrast(const QColor& one, const QColor& other) {
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](float value) {
            return value <= 0.03928f ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
    };
    const double first = luminance(one);
    const double second = luminance(other);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// How well what is drawn in an area of an image shows: its pixel that stands out most from what is behind it there.
// Antialiasing softens the glyphs' edges, but their middle is drawn in the text colour.
inline double strongestContrast(const QImage& image, const QRect& area, const std::function<QColor(int, int)>& behind) {
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            best = std::max(best, contrast(image.pixelColor(x, y), behind(x, y)));
        }
    }
    return best;
}

// Checks that every control under top (button, field, scrolling view, progress bar) has a name with a letter for a
// screen reader to speak; Qt's own parts ("qt_…", or inside a field) and the exceptions named are left out.
// Returns how many controls it checked.
inline int checkControlsAreNamed(const QWidget& top, const QStringList& exceptions = {}) {
    int controls = 0;
    for (QWidget* widget : top.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QAbstractScrollArea*>(widget) || qobject_cast<QProgressBar*>(widget);
        if (!control || widget->objectName().startsWith(QLatin1String("qt_")) ||
            qobject_cast<QLineEdit*>(widget->parent()) || exceptions.contains(widget->objectName())) {
            continue;
        }
        ++controls;
        const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        [&] {
            QVERIFY2(std::any_of(name.begin(), name.end(), [](QChar c) { return c.isLetter(); }),
                     qPrintable(widget->objectName() + QStringLiteral(" is named \"") + name + u'"'));
        }();
    }
    return controls;
}

inline QPalette darkPalette() {
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2a, 0x2a, 0x2a));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(role, QColor(0xe8, 0xe8, 0xe8));
    }
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x7b, 0xd9));
    return dark;
}

// The rows of a test run under the style's own light palette and under a dark one.
inline void addLightAndDarkPaletteRows() {
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << QApplication::style()->standardPalette();
    QTest::newRow("dark") << darkPalette();
}
