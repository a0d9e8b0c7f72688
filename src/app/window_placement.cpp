#include "app/window_placement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace app {

WindowPlacement::WindowPlacement(QWidget& window, platform::Preferences& preferences)
    : QObject(&window), m_window(window), m_preferences(preferences) {
    const std::optional<QString> kept = m_preferences.stringForKey(QString::fromLatin1(windowGeometryKey));
    // Qt checks what it restores and refuses damaged data; the window then keeps its own size.
    if (kept) {
        (void)m_window.restoreGeometry(QByteArray::fromBase64(kept->toLatin1()));
    }
    fitToScreen(m_window);
    m_window.installEventFilter(this);
}

void WindowPlacement::fitToScreen(QWidget& window) {
    if (window.isMaximized() || window.isFullScreen()) {
        return;
    }
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    // In device-independent pixels, so a window of 800 × 600 on a screen at twice the scale is measured as it shows.
    const QRect available = screen->availableGeometry();
    const QSize frameExtra = window.frameGeometry().size() - window.geometry().size();
    const QSize size = window.size().boundedTo(available.size() - frameExtra).expandedTo(window.minimumSize());
    window.resize(size);
    const QSize frame = size + frameExtra;
    const int x =
        std::clamp(window.x(), available.left(), std::max(available.left(), available.right() + 1 - frame.width()));
    const int y =
        std::clamp(window.y(), available.top(), std::max(available.top(), available.bottom() + 1 - frame.height()));
    window.move(x, y);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    // The frame's size is known only once the window is on screen; it is fitted again with it.
    if (watched == &m_window && event->type() == QEvent::Show) {
        fitToScreen(m_window);
    }
    if (watched == &m_window && event->type() == QEvent::Hide) {
        // A place that cannot be kept only costs placing the window again next time.
        (void)m_preferences.setString(QString::fromLatin1(windowGeometryKey),
                                      QString::fromLatin1(m_window.saveGeometry().toBase64()));
    }
    return QObject::eventFilter(watched, event);
}

} // namespace app
