#include "window/recovery_bar.h"

#include "window/bar_buttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace window {

RecoveryBar::RecoveryBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("recoveryBar"));
    m_bar = new MessageBar(MessageBar::Tone::information, this);
    m_bar->setAccessibleName(tr("Unsaved changes from an earlier session"));
    m_bar->show();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_bar);
    m_label = new QLabel(m_bar);
    m_label->setObjectName(QStringLiteral("recoveryLabel"));
    // Paths come from the user and must never be read as markup.
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_restore = new BarPushButton(tr("&Restore"), m_bar);
    m_restore->setObjectName(QStringLiteral("recoveryRestore"));
    m_anotherPassword = new BarPushButton(tr("Try Another Password…"), m_bar);
    m_anotherPassword->setObjectName(QStringLiteral("recoveryAnotherPassword"));
    m_discard = new BarPushButton(tr("&Discard"), m_bar);
    m_discard->setObjectName(QStringLiteral("recoveryDiscard"));
    connect(m_restore, &QPushButton::clicked, this, &RecoveryBar::restoreChosen);
    connect(m_anotherPassword, &QPushButton::clicked, this, &RecoveryBar::anotherPasswordChosen);
    connect(m_discard, &QPushButton::clicked, this, &RecoveryBar::discardChosen);
    auto* layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(10, 6, 6, 6);
    layout->addWidget(m_label, 1);
    for (QPushButton* button : {m_restore, m_anotherPassword, m_discard}) {
        layout->addWidget(button, 0, Qt::AlignTop);
    }
    hide();
}

void RecoveryBar::showOffer(const QString& message, Offer offer) {
    m_label->setText(message);
    m_restore->setVisible(offer == Offer::restore);
    m_anotherPassword->setVisible(offer == Offer::anotherPassword);
    if (isVisible()) {
        m_bar->announce();
    }
    show();
}

QString RecoveryBar::message() const {
    return isHidden() ? QString() : m_label->text();
}

} // namespace window
