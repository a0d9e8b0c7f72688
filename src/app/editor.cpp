#include "app/editor.h"

#include "app/about_box.h"
#include "app/recent_notes.h"
#include "app/window_placement.h"
#include "platform/run_password_prompt.h"
#include "preferences/preference_view_controller.h"
#include "window/file_drop.h"
#include "window/view_controller.h"

namespace app {

Editor::Editor(platform::Preferences& preferences, platform::FilePanels& panels, platform::Prompts& prompts,
               cipher::Log& log, cipher::Trace trace)
    : m_delegate(preferences, panels, prompts), m_window(m_delegate, log, trace) {
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
    QObject::connect(m_window.findChild<window::FileDrop*>(), &window::FileDrop::fileDropped, &m_delegate,
                     [this](const QString& path) { m_delegate.openAfterAskingAboutChanges(path); });
    m_delegate.passwordPlaces().asked().setAsk([this] { return platform::askForRunPassword(&m_window); });

    const QString wrapKey = QString::fromLatin1(wordWrapKey);
    m_window.setWordWrap(preferences.stringForKey(wrapKey) != QStringLiteral("false"));
    QObject::connect(&m_window, &window::MainWindow::wordWrapToggled, &m_window, [&preferences, wrapKey](bool wrap) {
        // A setting that cannot be kept costs only the same toggle next time.
        (void)preferences.setString(wrapKey, wrap ? QStringLiteral("true") : QStringLiteral("false"));
    });
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
    m_window.findChild<RecentNotes*>()->addChoiceTo(*dialog);
    dialog->open();
}

} // namespace app
