#pragma once

#include <QColor>
#include <QWidget>

class QPalette;

namespace window {

/// A bar above the note that tells the user something. It is tinted from the palette, so it follows light and
/// dark themes, and screen readers are told it is an alert, announced when it appears. Its owner lays out its
/// content.
class MessageBar final : public QWidget {
    Q_OBJECT

public:
    /// What the bar says: news the user can wait on, or something that went wrong.
    enum class Tone { information, problem };

    /// An empty, hidden bar.
    explicit MessageBar(Tone tone, QWidget* parent = nullptr);

    /// Announces the bar to screen readers again, for a new message in a bar already shown.
    void announce();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Tone m_tone;
};

/// A field's base colour tinted as a problem under palette, for input that found nothing.
[[nodiscard]] QColor problemFieldBase(const QPalette& palette);

} // namespace window
