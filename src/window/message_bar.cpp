#include "window/message_bar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPalette>

namespace window {

namespace {

// The palette has no colour for trouble; this red is mixed into its colours rather than used as it is, so that
// light and dark themes both keep their contrast.
const QColor problemHue(218, 68, 83);

QColor mixed(const QColor& base, const QColor& tint, double amount) {
    const auto mix = [amount](int from, int to) { return static_cast<int>(from + (to - from) * amount + 0.5); };
    return QColor(mix(base.red(), tint.red()), mix(base.green(), tint.green()), mix(base.blue(), tint.blue()));
}

QColor hueOf(MessageBar::Tone tone, const QPalette& palette) {
    return tone == MessageBar::Tone::problem ? problemHue : palette.color(QPalette::Highlight);
}

// The window colour tinted, so that the bar stands out and text in the window's colours stays readable on it.
QColor background(MessageBar::Tone tone, const QPalette& palette) {
    const double amount = tone == MessageBar::Tone::problem ? 0.25 : 0.15;
    return mixed(palette.color(QPalette::Window), hueOf(tone, palette), amount);
}

// Screen readers speak an alert when it appears; a plain widget would be read only when the user went looking.
QAccessibleInterface* alertInterface(const QString& className, QObject* object) {
    if (className == QLatin1String(MessageBar::staticMetaObject.className()) && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::AlertMessage);
    }
    return nullptr;
}

} // namespace

MessageBar::MessageBar(Tone tone, QWidget* parent) : QWidget(parent), m_tone(tone) {
    static const bool alertsInstalled = [] {
        QAccessible::installFactory(alertInterface);
        return true;
    }();
    (void)alertsInstalled;
    hide();
}

void MessageBar::announce() {
    QAccessibleEvent event(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

void MessageBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background(m_tone, palette()));
    painter.setPen(mixed(palette().color(QPalette::Window), hueOf(m_tone, palette()), 0.6));
    painter.drawLine(rect().bottomLeft(), rect().bottomRight());
}

void MessageBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    announce();
}

QColor problemFieldBase(const QPalette& palette) {
    return mixed(palette.color(QPalette::Base), problemHue, 0.25);
}

} // namespace window
