#include "window/reload_bar.h"

#include "window/bar_buttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace window {

ReloadBar::ReloadBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("reloadBar"));
    m_bar = new MessageBar(MessageBar::Tone::information, this);
    m_bar->setAccessibleName(tr("The note changed on disk"));
    m_bar->show();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_bar);
    m_label = new QLabel(m_bar);
    // Paths come from the user and must never be read as markup.
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* reload = new BarPushButton(tr("&Reload"), m_bar);
    reload->setObjectName(QStringLiteral("reloadBarReload"));
    auto* ignore = new BarPushButton(tr("&Ignore"), m_bar);
    ignore->setObjectName(QStringLiteral("reloadBarIgnore"));
    connect(reload, &QPushButton::clicked, this, [this] {
        hide();
        emit reloadChosen();
    });
    connect(ignore, &QPushButton::clicked, this, [this] {
        hide();
        emit ignoreChosen();
    });
    auto* layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(10, 6, 6, 6);
    layout->addWidget(m_label, 1);
    layout->addWidget(reload, 0, Qt::AlignTop);
    layout->addWidget(ignore, 0, Qt::AlignTop);
    hide();
}

void ReloadBar::showChanged(const QString& path) {
    m_label->setText(tr("\"%1\" was changed on disk by another program or window.").arg(path));
    if (isVisible()) {
        m_bar->announce();
    }
    show();
}

QString ReloadBar::message() const {
    return isHidden() ? QString() : m_label->text();
}

} // namespace window
