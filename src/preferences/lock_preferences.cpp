#include "preferences/lock_preferences.h"

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace preferences {

namespace {

constexpr int suggestedMinutes = 10;
constexpr int longestMinutes = 24 * 60;

} // namespace

LockPreferencesGroup::LockPreferencesGroup(LockSettingsStore& store, QDialog* dialog)
    : QGroupBox(tr("Lock"), dialog), m_store(store) {
    setObjectName(QStringLiteral("lockPreferences"));
    // One sentence for translators, around the number: the check box says what comes before it, the field the rest.
    const QString sentence = tr("Lock after %1 minutes without use");
    const qsizetype at = sentence.indexOf(QStringLiteral("%1"));
    m_whenIdle = new QCheckBox(sentence.left(at).trimmed(), this);
    m_whenIdle->setObjectName(QStringLiteral("lockWhenIdle"));
    m_minutes = new QSpinBox(this);
    m_minutes->setObjectName(QStringLiteral("lockMinutes"));
    m_minutes->setRange(1, longestMinutes);
    m_minutes->setSuffix(QLatin1Char(' ') + sentence.mid(at + 2).trimmed());
    m_minutes->setAccessibleName(tr("Minutes without use before the note locks"));
    m_withScreen = new QCheckBox(tr("Lock when the &screen locks"), this);
    m_withScreen->setObjectName(QStringLiteral("lockWithScreen"));
    m_warning = new QLabel(tr("Unlocking will need the note's password. If you do not remember it, changes not yet "
                              "saved are lost."),
                           this);
    m_warning->setObjectName(QStringLiteral("lockWarning"));
    m_warning->setWordWrap(true);

    const LockSettings settings = m_store.lockSettings();
    m_whenIdle->setChecked(settings.idleMinutes > 0);
    m_minutes->setValue(settings.idleMinutes > 0 ? settings.idleMinutes : suggestedMinutes);
    m_withScreen->setChecked(settings.withScreen);

    auto* idleRow = new QHBoxLayout;
    idleRow->addWidget(m_whenIdle);
    idleRow->addWidget(m_minutes);
    idleRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(idleRow);
    layout->addWidget(m_withScreen);
    layout->addWidget(m_warning);

    connect(m_whenIdle, &QCheckBox::toggled, this, &LockPreferencesGroup::updateWarning);
    connect(m_withScreen, &QCheckBox::toggled, this, &LockPreferencesGroup::updateWarning);
    updateWarning();
    connect(dialog, &QDialog::accepted, this, [this] {
        // A setting that cannot be kept still applies for this run; the next run starts with the earlier one.
        (void)m_store.setLockSettings(shown());
    });
}

LockSettings LockPreferencesGroup::shown() const {
    return {m_whenIdle->isChecked() ? m_minutes->value() : 0, m_withScreen->isChecked()};
}

void LockPreferencesGroup::updateWarning() {
    m_minutes->setEnabled(m_whenIdle->isChecked());
    m_warning->setVisible(m_whenIdle->isChecked() || m_withScreen->isChecked());
}

} // namespace preferences
