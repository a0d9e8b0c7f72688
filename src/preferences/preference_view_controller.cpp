#include "preferences/preference_view_controller.h"

#include "preferences/password_store.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace preferences {

PreferenceViewController::PreferenceViewController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("preferenceViewController"));
    setWindowTitle(tr("Preferences"));

    tfPassword = new QLineEdit(this);
    tfPassword->setObjectName(QStringLiteral("tfPassword"));
    tfPassword->setEchoMode(QLineEdit::Password);
    tfPassword->setMinimumWidth(260);

    auto* hint = new QLabel(tr("Used to encrypt and decrypt notes from the next Open or Save on. "
                               "Notes already saved keep the password they were saved with."),
                            this);
    hint->setWordWrap(true);
    hint->setForegroundRole(QPalette::PlaceholderText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferenceViewController::pushSaveButton);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(tr("&Password:"), tfPassword.data());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PreferenceViewController::viewDidLoad(PasswordStore& applicationDelegate) {
    appDelegate = &applicationDelegate;
    if (tfPassword) {
        tfPassword->setText(appDelegate->getPassword());
    }
}

void PreferenceViewController::pushSaveButton() {
    if (appDelegate == nullptr || !tfPassword) {
        return;
    }
    appDelegate->setPasswordWithPass(tfPassword->text());
    accept();
}

} // namespace preferences
