#pragma once

#include "platform/preferences.h"

#include <QObject>

class QWidget;

namespace app {

/// The preference that holds the window's size, position and maximised state (Qt's saved geometry, Base64).
inline constexpr auto windowGeometryKey = "windowGeometry";

/// Puts a window back where it was when it last closed, and keeps where it is each time it closes. The window is
/// always fitted into the screen it lands on: no larger than the screen's available area, at any scale, and with
/// its title bar on it.
class WindowPlacement final : public QObject {
    Q_OBJECT

public:
    /// Places window (not yet shown) as it was last kept in preferences, or leaves its own size, and fits it to its
    /// screen; from then on, keeps its place whenever it is hidden. Both must outlive this object, a child of window.
    WindowPlacement(QWidget& window, platform::Preferences& preferences);

    /// Shrinks and moves window so that all of its frame is on the available area of its screen.
    static void fitToScreen(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    platform::Preferences& m_preferences;
};

} // namespace app
