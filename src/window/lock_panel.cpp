#include "window/lock_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace window {

LockPanel::LockPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("lockPanel"));
    auto* heading = new QLabel(tr("Locked. Enter the password to unlock."), this);
    heading->setObjectName(QStringLiteral("lockHeading"));
    heading->setWordWrap(true);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("unlockPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(tr("Password"));
    m_password->setMinimumWidth(260);
    heading->setBuddy(m_password);
    m_unlock = new QPushButton(tr("&Unlock"), this);
    m_unlock->setObjectName(QStringLiteral("unlockButton"));
    m_unlock->setDefault(true);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("unlockMessage"));
    m_message->setWordWrap(true);
    m_message->setAccessibleName(tr("Unlock message"));

    auto* form = new QGridLayout;
    form->addWidget(heading, 0, 0, 1, 2);
    form->addWidget(m_password, 1, 0);
    form->addWidget(m_unlock, 1, 1);
    form->addWidget(m_message, 2, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addLayout(form);
    layout->addStretch(2);
    layout->setAlignment(form, Qt::AlignHCenter);
    setFocusProxy(m_password);

    const auto request = [this] {
        if (m_unlock->isEnabled()) {
            emit unlockRequested(m_password->text());
        }
    };
    connect(m_unlock, &QPushButton::clicked, this, request);
    connect(m_password, &QLineEdit::returnPressed, this, request);
    hide();
}

void LockPanel::reset() {
    showRefusal(QString());
    allowTries(true);
}

void LockPanel::showRefusal(const QString& message) {
    // setText rather than clear: the field's undo history would keep the password typed.
    m_password->setText(QString());
    m_message->setText(message);
    m_password->setFocus();
}

void LockPanel::allowTries(bool allowed) {
    m_unlock->setEnabled(allowed);
}

} // namespace window
