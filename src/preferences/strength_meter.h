#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace preferences {

/// Under the password fields: how long the password would hold out against offline guessing, by zxcvbn's estimate,
/// with its advice, and a warning line when that is less than a century. It warns; it never refuses.
class StrengthMeter final : public QWidget {
    Q_OBJECT

public:
    explicit StrengthMeter(QWidget* parent = nullptr);

    /// Shows the estimate for password; nothing of it is kept.
    void estimate(const QString& password);
    /// Shows nothing: no password typed.
    void clear();

    /// The time to guess as the meter says it, for instance "about 3 hours".
    [[nodiscard]] static QString timeToGuess(double seconds);

protected:
    void changeEvent(QEvent* event) override;

private:
    void tint();

    QProgressBar* m_bar = nullptr;
    QLabel* m_time = nullptr;
    QLabel* m_advice = nullptr;
    QLabel* m_weak = nullptr;
    bool m_isWeak = false;
};

} // namespace preferences
