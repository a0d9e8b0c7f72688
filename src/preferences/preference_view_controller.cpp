#include "preferences/preference_view_controller.h"

#include "platform/password_strength.h"
#include "preferences/password_place_choice.h"
#include "preferences/password_store.h"
#include "preferences/strength_meter.h"
#include "preferences/warning_colour.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace preferences {

PreferenceViewController::PreferenceViewController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("preferenceViewController"));
    setWindowTitle(tr("Preferences"));

    tfPassword = new QLineEdit(this);
    tfPassword->setObjectName(QStringLiteral("tfPassword"));
    tfPassword->setEchoMode(QLineEdit::Password);
    tfPassword->setMinimumWidth(260);

    tfRepeat = new QLineEdit(this);
    tfRepeat->setObjectName(QStringLiteral("tfRepeat"));
    tfRepeat->setEchoMode(QLineEdit::Password);

    // A mistyped password would become the key of every later save, so it is typed twice.
    m_mismatch = new QLabel(tr("The two passwords differ. Type the same password in both fields."), this);
    m_mismatch->setObjectName(QStringLiteral("mismatch"));
    m_mismatch->setWordWrap(true);
    m_mismatch->hide();
    const auto hideMismatchOnceEqual = [this] {
        if (tfPassword && tfPassword->text() == tfRepeat->text()) {
            m_mismatch->hide();
        }
    };
    connect(tfPassword, &QLineEdit::textChanged, this, hideMismatchOnceEqual);
    connect(tfRepeat, &QLineEdit::textChanged, this, hideMismatchOnceEqual);

    m_showPassword = new QCheckBox(tr("S&how password"), this);
    m_showPassword->setObjectName(QStringLiteral("showPassword"));
    connect(m_showPassword, &QCheckBox::toggled, this, [this](bool shown) {
        const QLineEdit::EchoMode mode = shown ? QLineEdit::Normal : QLineEdit::Password;
        if (tfPassword) {
            tfPassword->setEchoMode(mode);
        }
        tfRepeat->setEchoMode(mode);
    });

    m_generate = new QPushButton(tr("&Generate"), this);
    m_generate->setObjectName(QStringLiteral("generatePassword"));
    m_generate->setToolTip(tr("Fill both fields with 20 random letters and digits"));
    connect(m_generate, &QPushButton::clicked, this, &PreferenceViewController::generatePassword);

    m_meter = new StrengthMeter(this);
    connect(tfPassword, &QLineEdit::textChanged, m_meter, &StrengthMeter::estimate);
    m_place = new PasswordPlaceChoice(this);

    auto* hint = new QLabel(tr("Used to encrypt and decrypt notes from the next Open or Save on. "
                               "Notes already saved keep the password they were saved with."),
                            this);
    hint->setWordWrap(true);
    hint->setForegroundRole(QPalette::PlaceholderText);

    m_storeProblem = new QLabel(this);
    m_storeProblem->setObjectName(QStringLiteral("storeProblem"));
    m_storeProblem->setWordWrap(true);
    m_storeProblem->hide();
    tintWarnings();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferenceViewController::pushSaveButton);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(tr("&Password:"), tfPassword.data());
    form->addRow(tr("&Repeat:"), tfRepeat);
    form->addRow(QString(), m_mismatch);
    auto* showAndGenerate = new QHBoxLayout;
    showAndGenerate->addWidget(m_showPassword);
    showAndGenerate->addStretch();
    showAndGenerate->addWidget(m_generate);
    form->addRow(QString(), showAndGenerate);
    form->addRow(QString(), m_meter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_place);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(m_storeProblem);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PreferenceViewController::viewDidLoad(PasswordStore& applicationDelegate) {
    appDelegate = &applicationDelegate;
    m_loadedPlace = appDelegate->passwordPlace();
    m_place->choose(m_loadedPlace);
    if (m_loadedPlace != platform::PasswordPlace::preferencesFile) {
        // Two keystrokes (Show password) must not show a person at the screen what the keyring or memory holds.
        const QString where = !m_loadedPlace ? tr("Kept in a place this version does not know: type a new one")
                              : m_loadedPlace == platform::PasswordPlace::keyring
                                  ? tr("Kept in the desktop keyring: leave empty to keep it")
                                  : tr("Kept nowhere: leave empty to keep the one you have");
        for (QLineEdit* field : {tfPassword.data(), tfRepeat}) {
            if (field != nullptr) {
                field->clear();
                field->setPlaceholderText(where);
            }
        }
        return;
    }
    const QString password = appDelegate->getPassword();
    if (tfPassword) {
        tfPassword->setText(password);
    }
    tfRepeat->setText(password);
}

void PreferenceViewController::addSection(QWidget* section) {
    auto* column = static_cast<QVBoxLayout*>(layout());
    column->insertWidget(column->count() - 1, section);
}

void PreferenceViewController::generatePassword() {
    const QString generated = platform::generatePassword();
    if (tfPassword) {
        tfPassword->setText(generated);
    }
    tfRepeat->setText(generated);
    // Shown, so that it can be written down before it is needed; until the dialog is opened again.
    m_showPassword->setChecked(true);
}

void PreferenceViewController::showEvent(QShowEvent* event) {
    // Someone may be looking over the user's shoulder the next time it opens; the password is shown only on request.
    // A spontaneous show is the window coming back from being minimised, not opening.
    if (!event->spontaneous()) {
        m_showPassword->setChecked(false);
        m_storeProblem->hide();
    }
    QDialog::showEvent(event);
}

void PreferenceViewController::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        tintWarnings();
    }
}

void PreferenceViewController::tintWarnings() {
    for (QLabel* warning : {m_mismatch, m_storeProblem}) {
        if (warning == nullptr) {
            continue;
        }
        QPalette tinted = warning->palette();
        tinted.setColor(QPalette::WindowText, warningColour(palette()));
        warning->setPalette(tinted);
    }
}

void PreferenceViewController::pushSaveButton() {
    if (appDelegate == nullptr || !tfPassword) {
        return;
    }
    if (tfPassword->text() != tfRepeat->text()) {
        m_mismatch->show();
        return;
    }
    const QString typed = tfPassword->text();
    // Outside the preferences file the fields start empty, and empty they keep the password as it is.
    const bool typedOne = m_loadedPlace == platform::PasswordPlace::preferencesFile || !typed.isEmpty();
    const platform::PasswordPlace chosen = m_place->chosen();
    if (chosen != m_loadedPlace) {
        if (const std::optional<QString> problem =
                appDelegate->keepPasswordIn(chosen, typedOne ? std::optional(typed) : std::nullopt)) {
            m_storeProblem->setText(problem->isEmpty() ? tr("The password could not be stored: the preferences file "
                                                            "cannot be written. The earlier password stays in use.")
                                                       : *problem);
            m_storeProblem->show();
            return;
        }
        accept();
        return;
    }
    if (typedOne && !appDelegate->setPasswordWithPass(typed)) {
        // Closing would let the user believe the next save uses this password, and it would not.
        const QString problem = appDelegate->storeProblem();
        m_storeProblem->setText(problem.isEmpty() ? tr("The password could not be stored: the preferences file cannot "
                                                       "be written. The earlier password stays in use.")
                                                  : tr("The password could not be stored. %1 The earlier password "
                                                       "stays in use.")
                                                        .arg(problem));
        m_storeProblem->show();
        return;
    }
    accept();
}

} // namespace preferences
