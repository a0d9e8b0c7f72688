#pragma once

#include "app/idle_watcher.h"
#include "cipher/crypto/password_fingerprint.h"
#include "platform/preferences.h"
#include "platform/prompts.h"
#include "platform/screen_lock_watcher.h"
#include "preferences/lock_preferences.h"

#include <QObject>
#include <QTimer>

#include <optional>

namespace window {
class MainWindow;
class ProtectionSign;
} // namespace window

namespace app {

class AppDelegate;

/// The preference that says after how many minutes without use the window locks; "0" or none for never.
inline constexpr auto lockAfterMinutesKey = "lockAfterMinutes";
/// The preference that says whether the window locks with the screen: "true", or anything else for no.
inline constexpr auto lockWithScreenKey = "lockWithScreen";

/// Decides when the window locks and what it says about protection: File > Lock, locking after a while without use
/// and with the screen, unlocking before a save that cannot wait (Quit > Save), the status bar's sign, and the
/// lock settings kept in the preferences.
class NoteLocking final : public QObject, public preferences::LockSettingsStore {
    Q_OBJECT

public:
    /// Wires itself to delegate and window and applies the kept settings; all must outlive it.
    NoteLocking(AppDelegate& delegate, window::MainWindow& window, platform::Preferences& preferences,
                platform::Prompts& prompts);

    [[nodiscard]] preferences::LockSettings lockSettings() const override;
    [[nodiscard]] bool setLockSettings(const preferences::LockSettings& settings) override;

    /// Locks the window now when the note has a password to unlock it with; false otherwise or when already
    /// locked.
    bool lockNow();
    /// Whether the note has a password that can unlock it (not the empty one), as far as can be told without reading
    /// the keyring or asking for it.
    [[nodiscard]] bool canLock() const;
    /// What tells of time without use; its interval follows the settings.
    [[nodiscard]] IdleWatcher& idleWatcher() { return m_idle; }
    /// The status bar's sign, owned by the window.
    [[nodiscard]] window::ProtectionSign& sign() const { return *m_sign; }

private:
    [[nodiscard]] std::optional<cipher::PasswordFingerprint> unlockingPassword() const;
    /// Whether a password is set, decided without reading the keyring or asking for one.
    [[nodiscard]] bool passwordSet() const;
    void apply(const preferences::LockSettings& settings);
    void lockByItself();
    void showProtection();
    [[nodiscard]] bool unlockToSave();

    AppDelegate& m_delegate;
    window::MainWindow& m_window;
    platform::Preferences& m_preferences;
    platform::Prompts& m_prompts;
    IdleWatcher m_idle;
    platform::ScreenLockWatcher m_screen;
    bool m_lockWithScreen = false;
    window::ProtectionSign* m_sign = nullptr;
    // A lock due while a question blocks the window is tried again once it has been answered.
    QTimer m_retry;
};

} // namespace app
