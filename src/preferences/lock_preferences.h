#pragma once

#include <QGroupBox>

class QCheckBox;
class QDialog;
class QLabel;
class QSpinBox;

namespace preferences {

/// When the window locks by itself.
struct LockSettings {
    /// Minutes without keyboard or mouse input before it locks; 0 for never.
    int idleMinutes = 0;
    /// Whether it locks when the desktop locks the screen.
    bool withScreen = false;
};

/// Where the lock settings are kept between runs.
class LockSettingsStore {
public:
    virtual ~LockSettingsStore() = default;
    /// The settings kept, or the defaults (both off) when none are.
    [[nodiscard]] virtual LockSettings lockSettings() const = 0;
    /// Keeps the settings and applies them at once; false when they could not be kept.
    [[nodiscard]] virtual bool setLockSettings(const LockSettings& settings) = 0;
};

/// The "Lock" group of the preferences: "Lock after [N] minutes without use" and "Lock when the screen locks", with
/// a plain word that unlocking then needs the password. Filled from the store when made; stored when the dialog it
/// is in is accepted.
class LockPreferencesGroup final : public QGroupBox {
    Q_OBJECT

public:
    /// The group for dialog, filled from store; store must outlive it.
    LockPreferencesGroup(LockSettingsStore& store, QDialog* dialog);

    /// The settings as shown.
    [[nodiscard]] LockSettings shown() const;

private:
    void updateWarning();

    LockSettingsStore& m_store;
    QCheckBox* m_whenIdle = nullptr;
    QSpinBox* m_minutes = nullptr;
    QCheckBox* m_withScreen = nullptr;
    QLabel* m_warning = nullptr;
};

} // namespace preferences
