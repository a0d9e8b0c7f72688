#include "app/note_locking.h"

#include "app/app_delegate.h"
#include "app/note_password_guard.h"
#include "app/password_places.h"
#include "cipher/base/bytes.h"
#include "preferences/preference_view_controller.h"
#include "window/main_window.h"
#include "window/note_lock.h"
#include "window/protection_sign.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QStatusBar>

#include <chrono>
#include <string_view>

namespace app {

namespace {

constexpr std::chrono::milliseconds retryAfter{1000};

QString key(const char* name) {
    return QString::fromLatin1(name);
}

} // namespace

NoteLocking::NoteLocking(AppDelegate& delegate, window::MainWindow& window, platform::Preferences& preferences,
                         platform::Prompts& prompts)
    : m_delegate(delegate), m_window(window), m_preferences(preferences), m_prompts(prompts) {
    m_sign = new window::ProtectionSign(&m_window);
    m_window.statusBar()->addPermanentWidget(m_sign);
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryAfter);
    connect(&m_retry, &QTimer::timeout, this, &NoteLocking::lockByItself);
    connect(&m_idle, &IdleWatcher::idle, this, &NoteLocking::lockByItself);
    connect(&m_screen, &platform::ScreenLockWatcher::screenLocked, this, [this] {
        if (m_lockWithScreen) {
            lockByItself();
        }
    });
    connect(&m_window, &window::MainWindow::lockRequested, this, &NoteLocking::lockNow);
    connect(&m_delegate, &AppDelegate::passwordStateChanged, this, &NoteLocking::showProtection);
    window::NoteLock& lock = m_window.noteLock();
    connect(&lock, &window::NoteLock::locked, this, [this] {
        // A password asked for this run is asked again after a lock: the lock's fingerprint unlocks, not it.
        m_delegate.passwordPlaces().asked().forget();
        showProtection();
    });
    connect(&lock, &window::NoteLock::unlocked, this, &NoteLocking::showProtection);
    m_delegate.setSaveCheck([this] { return unlockToSave(); });
    apply(lockSettings());
    showProtection();
}

preferences::LockSettings NoteLocking::lockSettings() const {
    preferences::LockSettings settings;
    bool number = false;
    const int minutes = m_preferences.stringForKey(key(lockAfterMinutesKey)).value_or(QString()).toInt(&number);
    settings.idleMinutes = number && minutes > 0 ? minutes : 0;
    settings.withScreen = m_preferences.stringForKey(key(lockWithScreenKey)) == QStringLiteral("true");
    return settings;
}

bool NoteLocking::setLockSettings(const preferences::LockSettings& settings) {
    apply(settings);
    const bool minutes = m_preferences.setString(key(lockAfterMinutesKey), QString::number(settings.idleMinutes));
    const bool screen = m_preferences.setString(key(lockWithScreenKey),
                                                settings.withScreen ? QStringLiteral("true") : QStringLiteral("false"));
    return minutes && screen;
}

void NoteLocking::apply(const preferences::LockSettings& settings) {
    m_idle.setInterval(std::chrono::minutes(settings.idleMinutes));
    m_lockWithScreen = settings.withScreen;
    if (m_lockWithScreen) {
        (void)m_screen.start();
    }
}

std::optional<cipher::PasswordFingerprint> NoteLocking::unlockingPassword() const {
    // The password the note was opened or last saved with; a note that never had a file has the stored one, read
    // only now, as reading may ask for it or wait for the keyring.
    std::optional<cipher::PasswordFingerprint> password = m_delegate.notePassword();
    if (!password) {
        password = cipher::PasswordFingerprint::make();
        const window::NotePassword given = m_delegate.passwordForNote();
        QByteArray stored = given.utf8();
        const bool known =
            password && given.usable() &&
            password->remember(std::string_view(stored.constData(), static_cast<std::size_t>(stored.size())));
        cipher::cleanse(stored.data(), static_cast<std::size_t>(stored.size()));
        if (!known) {
            return std::nullopt;
        }
    }
    // Under the empty password there would be nothing to unlock with.
    if (password->matches("")) {
        return std::nullopt;
    }
    return password;
}

bool NoteLocking::passwordSet() const {
    // Without reading the keyring or asking: a password kept elsewhere than the preferences file was set on purpose.
    if (m_delegate.passwordPlace() != platform::PasswordPlace::preferencesFile) {
        return true;
    }
    return !m_preferences.stringForKey(QString::fromLatin1(platform::passwordKey)).value_or(QString()).isEmpty();
}

bool NoteLocking::canLock() const {
    if (const std::optional<cipher::PasswordFingerprint> password = m_delegate.notePassword()) {
        return !password->matches("");
    }
    // A password asked for is known only once given; the keyring's is read when the window locks.
    if (m_delegate.passwordPlace() == platform::PasswordPlace::nowhere) {
        return m_delegate.passwordPlaces().asked().holdsOne();
    }
    return passwordSet();
}

bool NoteLocking::lockNow() {
    if (!canLock()) {
        return false;
    }
    const std::optional<cipher::PasswordFingerprint> password = unlockingPassword();
    return password && m_window.noteLock().lock(*password);
}

void NoteLocking::lockByItself() {
    if (m_window.noteLock().isLocked()) {
        return;
    }
    // The preferences dialog waits on nothing and can simply go; a question that blocks the window (a file panel,
    // Save or Discard) has a command waiting on its answer that must not find the note gone, so the lock waits.
    for (auto* dialog : m_window.findChildren<preferences::PreferenceViewController*>()) {
        if (dialog->isVisible()) {
            dialog->reject();
        }
    }
    if (QApplication::activeModalWidget() != nullptr) {
        m_retry.start();
        return;
    }
    (void)lockNow();
}

void NoteLocking::showProtection() {
    const bool locked = m_window.noteLock().isLocked();
    const bool set = passwordSet();
    m_sign->setEncrypted(set);
    window::ViewController& vc = m_window.viewController();
    if (set && vc.problem() == emptyPasswordWarning()) {
        vc.clearProblem();
    }
    auto* lock = m_window.findChild<QAction*>(QStringLiteral("actionLock"));
    const bool lockable = canLock();
    if (!locked) {
        lock->setEnabled(lockable);
    }
    lock->setToolTip(lockable ? tr("Hide the note until its password is given")
                              : tr("Set a password first (Edit → Preferences): a note without one cannot be locked."));
}

bool NoteLocking::unlockToSave() {
    window::NoteLock& lock = m_window.noteLock();
    QString refusal;
    while (lock.isLocked()) {
        const std::optional<QString> password = m_prompts.askToUnlock(&m_window, refusal);
        if (!password) {
            return false;
        }
        switch (lock.unlock(*password)) {
        case window::NoteLock::Unlock::Unlocked:
        case window::NoteLock::Unlock::NotLocked:
            break;
        case window::NoteLock::Unlock::WrongPassword:
            refusal = tr("Wrong password.");
            break;
        case window::NoteLock::Unlock::TooSoon:
            refusal = tr("Wrong password again. Wait a few seconds before trying again.");
            break;
        }
    }
    return true;
}

} // namespace app
