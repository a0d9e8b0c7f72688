#pragma once

#include "app/app_delegate.h"
#include "app/recovery_keeper.h"
#include "app/recovery_offer.h"
#include "app/note_locking.h"
#include "cipher/base/log.h"
#include "cipher/note/trace.h"
#include "window/main_window.h"

namespace app {

/// The preference that says whether long lines wrap: "true" or "false"; anything else, or none, wraps.
inline constexpr auto wordWrapKey = "wordWrap";

/// The assembled editor: the application's delegate and the note window, linked and wired to each other, to the
/// preferences dialog and to the remembered word wrap. The seams passed in must outlive it.
class Editor {
public:
    /// Builds the delegate and the window; the window's note view links itself to the delegate.
    Editor(platform::Preferences& preferences, platform::FilePanels& panels, platform::Prompts& prompts,
           cipher::Log& log, cipher::Trace trace = {});

    /// The application's delegate.
    [[nodiscard]] AppDelegate& delegate() { return m_delegate; }
    /// The note window.
    [[nodiscard]] window::MainWindow& mainWindow() { return m_window; }
    /// When and how the window locks.
    [[nodiscard]] NoteLocking& locking() { return m_locking; }

    /// Opens the password preferences as a window-modal dialog without blocking; it deletes itself when closed.
    void showPreferences();

    /// The keeper of the window's recovery copy (to finish or hold back copies, as locking the window does).
    [[nodiscard]] RecoveryKeeper& recoveryKeeper() { return m_recoveryKeeper; }
    /// Offers unsaved changes left by a window that is gone, those of the open note first; for the start.
    void offerRecovery();

private:
    // The delegate is declared first so that it outlives the window whose view links to it.
    AppDelegate m_delegate;
    window::MainWindow m_window;
    platform::Preferences& m_preferences;
    // After the window: the keeper waits for its copy and removes it before the note view goes.
    RecoveryKeeper m_recoveryKeeper;
    RecoveryOffer m_recoveryOffer;
    NoteLocking m_locking;
};

} // namespace app
