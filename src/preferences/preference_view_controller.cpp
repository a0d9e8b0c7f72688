#include "preferences/preference_view_controller.h"

#include "preferences/password_store.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace preferences {

namespace {

// The palette has no colour for a warning. The text colour drawn halfway to red keeps most of its contrast in light
// and dark themes alike, where a fixed red is all but invisible on a dark background.
QColor warningColour(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor red(218, 68, 83);
    const auto half = [](int from, int to) { return (from + to + 1) / 2; };
    return QColor(half(text.red(), red.red()), half(text.green(), red.green()), half(text.blue(), red.blue()));
}

} // namespace

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
    form->addRow(QString(), m_showPassword);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(m_storeProblem);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PreferenceViewController::viewDidLoad(PasswordStore& applicationDelegate) {
    appDelegate = &applicationDelegate;
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
    if (!appDelegate->setPasswordWithPass(tfPassword->text())) {
        // Closing would let the user believe the next save uses this password, and it would not.
        m_storeProblem->setText(tr("The password could not be stored: the preferences file cannot be written. "
                                   "The earlier password stays in use."));
        m_storeProblem->show();
        return;
    }
    accept();
}

} // namespace preferences
