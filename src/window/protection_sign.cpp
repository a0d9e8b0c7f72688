#include "window/protection_sign.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace window {

namespace {

// A padlock in the text's colour, its shackle closed or swung open; drawn, so it needs no icon theme and follows the
// palette and the screen's scale.
QPixmap padlock(bool closed, const QColor& colour, int size, qreal scale) {
    QPixmap pixmap(QSize(size, size) * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    painter.setPen(QPen(colour, 1.6 * unit));
    painter.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    const qreal left = 4.5 * unit;
    const qreal right = 11.5 * unit;
    const qreal bottom = 8 * unit;
    const qreal lift = closed ? 0 : 2.5 * unit;
    shackle.moveTo(left, bottom);
    shackle.lineTo(left, 5 * unit - lift);
    shackle.arcTo(QRectF(left, 1.5 * unit - lift, right - left, 7 * unit), 180, -180);
    shackle.lineTo(right, closed ? bottom : 5 * unit - lift);
    painter.drawPath(shackle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(2.5 * unit, 7.5 * unit, 11 * unit, 7.5 * unit), unit, unit);
    return pixmap;
}

} // namespace

ProtectionSign::ProtectionSign(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("protectionSign"));
    m_icon = new QLabel(this);
    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_icon);
    layout->addWidget(m_text);
    draw();
}

void ProtectionSign::setEncrypted(bool encrypted) {
    if (encrypted != m_encrypted) {
        m_encrypted = encrypted;
        draw();
    }
}

QString ProtectionSign::text() const {
    return m_text->text();
}

void ProtectionSign::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        draw();
    }
}

void ProtectionSign::draw() {
    const QString text = m_encrypted ? tr("Encrypted") : tr("No password: anyone with the file can read it");
    m_text->setText(text);
    setAccessibleName(text);
    m_icon->setAccessibleName(m_encrypted ? tr("Closed lock") : tr("Open lock"));
    // An open lock is a warning: drawn in the link colour, which every palette keeps readable and apart from text.
    const QColor colour = palette().color(m_encrypted ? QPalette::WindowText : QPalette::Link);
    m_icon->setPixmap(padlock(m_encrypted, colour, fontMetrics().height(), devicePixelRatioF()));
    setToolTip(m_encrypted ? tr("The note's file is encrypted with the password set in Preferences.")
                           : tr("Set a password in Edit → Preferences (Ctrl+,) to encrypt the note."));
}

} // namespace window
