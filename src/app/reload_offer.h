#pragma once

#include "app/disk_guard.h"

#include <QObject>

#include <optional>

namespace window {
class MainWindow;
class ReloadBar;
} // namespace window

namespace app {

class AppDelegate;

/// File > Reload and the bar that offers it: when the window becomes active and its note's file was changed on disk
/// by someone else, the bar says so. Reading goes through the delegate, which replaces the text only with a note
/// that decrypts whole. Owned by the window.
class ReloadOffer final : public QObject {
    Q_OBJECT

public:
    /// Watches window, whose File commands delegate runs; delegate must outlive the window.
    ReloadOffer(window::MainWindow& window, AppDelegate& delegate);

    /// The bar above the note, owned by the note view.
    [[nodiscard]] window::ReloadBar& bar() const { return *m_bar; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Shows the bar when the note's file changed on disk since it was read or written.
    void check();
    void reload();

    window::MainWindow& m_window;
    AppDelegate& m_delegate;
    window::ReloadBar* m_bar = nullptr;
    /// The file as it was when the user chose Ignore; forgotten when the window reads or names another file.
    std::optional<DiskGuard> m_ignored;
};

} // namespace app
