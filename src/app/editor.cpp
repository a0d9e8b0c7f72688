#include "app/editor.h"

#include "app/about_box.h"
#include "app/recent_notes.h"
#include "app/reload_offer.h"
#include "app/window_placement.h"
#include "platform/run_password_prompt.h"
#include "preferences/preference_view_controller.h"
#include "preferences/recovery_copies_option.h"
#include "window/file_drop.h"
#include "window/note_lock.h"
#include "window/recovery_bar.h"
#include "window/view_controller.h"

namespace app {

namespace {

// The recovery bar, put above the note view that owns it.
window::RecoveryBar& recoveryBarOf(window::ViewController& vc) {
    auto* bar = new window::RecoveryBar;
    vc.addBarAboveNote(bar);
    return *bar;
}

} // namespace

Editor::Editor(platform::Preferences& preferences, platform::FilePanels& panels, platform::Prompts& prompts,
               cipher::Log& log, cipher::Trace trace)
    : m_delegate(preferences, panels, prompts), m_window(m_delegate, log, trace), m_preferences(preferences),
      m_recoveryKeeper(m_window.viewController(), m_delegate, recoveryFolder()),
      m_recoveryOffer(m_delegate, m_recoveryKeeper, prompts, recoveryBarOf(m_window.viewController())),
      m_locking(m_delegate, m_window, preferences, prompts) {
    QObject::connect(&m_window, &window::MainWindow::newRequested, &m_delegate, &AppDelegate::clickNewMenu);
    QObject::connect(&m_window, &window::MainWindow::openRequested, &m_delegate, &AppDelegate::clickOpenMenu);
    QObject::connect(&m_window, &window::MainWindow::saveRequested, &m_delegate, &AppDelegate::clickSaveMenu);
    QObject::connect(&m_window, &window::MainWindow::saveAsRequested, &m_delegate, &AppDelegate::clickSaveAsMenu);
    QObject::connect(&m_window, &window::MainWindow::preferencesRequested, &m_delegate, [this] { showPreferences(); });
    QObject::connect(&m_window.viewController(), &window::ViewController::problemActionChosen, &m_delegate,
                     &AppDelegate::tryAnotherPassword);
    QObject::connect(&m_window, &window::MainWindow::aboutRequested, &m_window,
                     [this] { showAbout(&m_window, platform::SettingsPreferences::defaultFilePath()); });
    m_window.setCloseGuard([this] { return m_delegate.resolveUnsavedChanges(); });
    new WindowPlacement(m_window, preferences);
    new RecentNotes(m_window, m_delegate, preferences);
    new ReloadOffer(m_window, m_delegate);
    QObject::connect(m_window.findChild<window::FileDrop*>(), &window::FileDrop::fileDropped, &m_delegate,
                     [this](const QString& path) {
                         // A locked window opens nothing: the drop would replace the note behind the lock.
                         if (!m_window.noteLock().isLocked()) {
                             m_delegate.openAfterAskingAboutChanges(path);
                         }
                     });
    m_delegate.passwordPlaces().asked().setAsk([this] { return platform::askForRunPassword(&m_window); });

    const QString wrapKey = QString::fromLatin1(wordWrapKey);
    m_window.setWordWrap(preferences.stringForKey(wrapKey) != QStringLiteral("false"));
    QObject::connect(&m_window, &window::MainWindow::wordWrapToggled, &m_window, [&preferences, wrapKey](bool wrap) {
        // A setting that cannot be kept costs only the same toggle next time.
        (void)preferences.setString(wrapKey, wrap ? QStringLiteral("true") : QStringLiteral("false"));
    });

    m_recoveryKeeper.setEnabled(preferences.stringForKey(QString::fromLatin1(keepRecoveryCopiesKey)) !=
                                QStringLiteral("false"));
    QObject::connect(&m_delegate, &AppDelegate::noteOpenedFrom, &m_recoveryOffer, &RecoveryOffer::offerFor);
    // Locking first finishes a pending copy while the note is still in the view; nothing changes while locked, so no
    // copy is made until it is unlocked.
    const window::NoteLock& lock = m_window.noteLock();
    QObject::connect(&lock, &window::NoteLock::aboutToLock, &m_recoveryKeeper, &RecoveryKeeper::finishPendingCopy);
    QObject::connect(&lock, &window::NoteLock::locked, &m_recoveryKeeper, &RecoveryKeeper::suspend);
    QObject::connect(&lock, &window::NoteLock::unlocked, &m_recoveryKeeper, &RecoveryKeeper::resume);
}

void Editor::offerRecovery() {
    m_recoveryOffer.offer(m_window.viewController().filename);
}

void Editor::showPreferences() {
    // A closed dialog lingers until its deferred deletion; only one still on screen is brought forward.
    for (auto* shown : m_window.findChildren<preferences::PreferenceViewController*>()) {
        if (shown->isVisible()) {
            shown->raise();
            shown->activateWindow();
            return;
        }
    }
    // open() rather than exec(): modal for the window, and nothing waits in a nested event loop.
    auto* dialog = new preferences::PreferenceViewController(&m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->viewDidLoad(m_delegate);
    auto* keepCopies = new preferences::RecoveryCopiesOption(*dialog, m_recoveryKeeper.isEnabled());
    QObject::connect(keepCopies, &preferences::RecoveryCopiesOption::chosen, &m_recoveryKeeper, [this](bool keep) {
        // Not remembered, the choice still holds for this run.
        (void)m_preferences.setString(QString::fromLatin1(keepRecoveryCopiesKey),
                                      keep ? QStringLiteral("true") : QStringLiteral("false"));
        m_recoveryKeeper.setEnabled(keep);
    });
    dialog->addSection(new preferences::LockPreferencesGroup(m_locking, dialog));
    m_window.findChild<RecentNotes*>()->addChoiceTo(*dialog);
    dialog->open();
}

} // namespace app
