#include "preferences/password_place_choice.h"

#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace preferences {

PasswordPlaceChoice::PasswordPlaceChoice(QWidget* parent) : QGroupBox(tr("Where the password is kept"), parent) {
    setObjectName(QStringLiteral("passwordPlace"));
    auto* layout = new QVBoxLayout(this);
    const auto addPlace = [&](const char* name, const QString& text, const QString& explanation) {
        auto* button = new QRadioButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        auto* line = new QLabel(explanation, this);
        line->setWordWrap(true);
        line->setForegroundRole(QPalette::PlaceholderText);
        line->setIndent(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                        style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing));
        // Read out with the button, for those who cannot see the line under it.
        button->setAccessibleDescription(explanation);
        layout->addWidget(button);
        layout->addWidget(line);
        return button;
    };
    m_file =
        addPlace("placePreferencesFile", tr("In the pre&ferences file"),
                 tr("Plain text, readable by you only: anyone who reads your files or steals the disk can read it."));
    m_keyring = addPlace("placeKeyring", tr("In the desktop &keyring"),
                         tr("Encrypted under your login password: safe from someone who reads your files or steals "
                            "the disk, not from programs running as you."));
    m_nowhere = addPlace("placeNowhere", tr("&Nowhere: ask when needed"),
                         tr("Asked for at the first Open or Save of each run and held in memory only."));
}

platform::PasswordPlace PasswordPlaceChoice::chosen() const {
    if (m_keyring->isChecked()) {
        return platform::PasswordPlace::keyring;
    }
    if (m_nowhere->isChecked()) {
        return platform::PasswordPlace::nowhere;
    }
    return platform::PasswordPlace::preferencesFile;
}

void PasswordPlaceChoice::choose(std::optional<platform::PasswordPlace> place) {
    if (!place) {
        // An exclusive button cannot be cleared by itself.
        for (QRadioButton* button : {m_file, m_keyring, m_nowhere}) {
            button->setAutoExclusive(false);
            button->setChecked(false);
            button->setAutoExclusive(true);
        }
        return;
    }
    switch (*place) {
    case platform::PasswordPlace::preferencesFile:
        m_file->setChecked(true);
        break;
    case platform::PasswordPlace::keyring:
        m_keyring->setChecked(true);
        break;
    case platform::PasswordPlace::nowhere:
        m_nowhere->setChecked(true);
        break;
    }
}

} // namespace preferences
