#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

namespace app {

/// Tells when the program has had no keyboard or mouse input for a while.
class IdleWatcher final : public QObject {
    Q_OBJECT

public:
    /// A watcher that is off; it watches every input event of the application.
    explicit IdleWatcher(QObject* parent = nullptr);
    ~IdleWatcher() override;

    /// Reports idle after interval without input, counted from now; zero turns it off.
    void setInterval(std::chrono::milliseconds interval);
    /// The interval, zero when off.
    [[nodiscard]] std::chrono::milliseconds interval() const { return m_interval; }

signals:
    /// No input came for the whole interval. Reported once until input comes again.
    void idle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::chrono::milliseconds m_interval{0};
    QTimer m_timer;
};

} // namespace app
