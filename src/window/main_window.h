#pragma once

#include "cipher/log.h"
#include "cipher/trace.h"

#include <QMainWindow>

#include <functional>

class QAction;
class QCloseEvent;

namespace window {

class ApplicationDelegate;
class ViewController;

/// The note window: the note view, the File and Edit menus and a status bar. It shows; what the File commands do
/// is decided by whoever listens to its request signals.
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    /// Builds the note view and links it to applicationDelegate (viewDidLoad); log and applicationDelegate must
    /// outlive the window.
    MainWindow(ApplicationDelegate& applicationDelegate, cipher::Log& log, cipher::Trace trace = {},
               QWidget* parent = nullptr);

    /// The note view controller, owned by this window.
    [[nodiscard]] ViewController& viewController() const { return *m_viewController; }
    /// Asked before the window closes (also by Quit); returning false keeps it open. Without a guard it closes.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

signals:
    /// File > New was chosen.
    void newRequested();
    /// File > Open... was chosen.
    void openRequested();
    /// File > Save was chosen.
    void saveRequested();
    /// File > Save As... was chosen.
    void saveAsRequested();
    /// Edit > Preferences... was chosen.
    void preferencesRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addAction(QMenu* menu, const QString& objectName, const QString& text, const QKeySequence& shortcut);
    void buildFileMenu();
    void buildEditMenu();
    void showTitle(const QString& title);

    ViewController* m_viewController = nullptr;
    std::function<bool()> m_closeGuard;
};

} // namespace window
