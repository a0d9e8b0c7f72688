#pragma once

#include "cipher/base/log.h"
#include "cipher/note/trace.h"

#include <QMainWindow>

#include <functional>

class QAction;
class QCloseEvent;

namespace window {

class ApplicationDelegate;
class FindBar;
class NoteLock;
class GoToLineBar;
class RecentNotesMenu;
class ViewController;

/// The note window: the note view with a find bar under it, the File, Edit, View and Help menus and a status bar with
/// the cursor's position. It shows; what the File commands do and where word wrap is remembered is decided by whoever
/// listens to its signals.
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    /// Builds the note view and links it to applicationDelegate (viewDidLoad); log and applicationDelegate must
    /// outlive the window.
    MainWindow(ApplicationDelegate& applicationDelegate, cipher::Log& log, cipher::Trace trace = {},
               QWidget* parent = nullptr);
    /// Ends the lock while the note view is still there, so that a note set aside for it goes with the view.
    ~MainWindow() override;

    /// The note view controller, owned by this window.
    [[nodiscard]] ViewController& viewController() const { return *m_viewController; }
    /// The find bar under the note, owned by this window.
    [[nodiscard]] FindBar& findBar() const { return *m_findBar; }
    /// The window's lock, owned by this window.
    [[nodiscard]] NoteLock& noteLock() const { return *m_noteLock; }
    /// File > Open Recent, owned by this window; filled by whoever keeps the list.
    [[nodiscard]] RecentNotesMenu& recentNotesMenu() const { return *m_recentNotesMenu; }
    /// Whether long lines wrap at the edge of the view.
    [[nodiscard]] bool wordWrap() const;
    /// Wraps long lines at the edge of the view or not, and checks View > Word Wrap to match; emits nothing.
    void setWordWrap(bool wrap);
    /// Asked before the window closes (also by Quit); returning false keeps it open. Without a guard it closes.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

signals:
    /// File > New was chosen.
    void newRequested();
    /// File > Open... was chosen.
    void openRequested();
    /// File > Reload was chosen.
    void reloadRequested();
    /// File > Save was chosen.
    void saveRequested();
    /// File > Save As... was chosen.
    void saveAsRequested();
    /// File > Lock was chosen.
    void lockRequested();
    /// Edit > Preferences... was chosen.
    void preferencesRequested();
    /// The user turned View > Word Wrap on or off.
    void wordWrapToggled(bool wrap);
    /// Help > About Vellumpad was chosen.
    void aboutRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addAction(QMenu* menu, const QString& objectName, const QString& text, const QKeySequence& shortcut);
    void buildFileMenu();
    void buildEditMenu();
    void buildViewMenu();
    void buildHelpMenu();
    void showTitle(const QString& title);

    ViewController* m_viewController = nullptr;
    FindBar* m_findBar = nullptr;
    NoteLock* m_noteLock = nullptr;
    GoToLineBar* m_goToLineBar = nullptr;
    RecentNotesMenu* m_recentNotesMenu = nullptr;
    QAction* m_wordWrap = nullptr;
    std::function<bool()> m_closeGuard;
};

} // namespace window
