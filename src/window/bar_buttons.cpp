#include "window/bar_buttons.h"

#include <QKeyEvent>
#include <QPainter>

namespace window {

namespace {

// The style's own mark of focus is a faint line in the highlight colour, which a bar's tint can all but hide; the
// text colour stands out from the window's in light and dark palettes alike.
void drawFocusRing(QWidget& button) {
    if (!button.hasFocus() || !button.window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        return;
    }
    QPainter painter(&button);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(button.palette().color(QPalette::WindowText), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(button.rect()).adjusted(1, 1, -1, -1), 3, 3);
}

} // namespace

BarPushButton::BarPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAutoDefault(true);
}

void BarPushButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    drawFocusRing(*this);
}

BarToolButton::BarToolButton(QWidget* parent) : QToolButton(parent) {}

void BarToolButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        return;
    }
    QToolButton::keyPressEvent(event);
}

void BarToolButton::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event);
    drawFocusRing(*this);
}

} // namespace window
