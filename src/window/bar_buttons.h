#pragma once

#include <QPushButton>
#include <QToolButton>

namespace window {

/// A push button on one of the bars around the note. Enter presses it when it has the focus, as in a dialog, and a
/// ring in the window's text colour shows that it has the keyboard's focus, whatever the palette.
class BarPushButton final : public QPushButton {
    Q_OBJECT

public:
    explicit BarPushButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// A tool button on one of the bars (a close "✕", the find bar's arrows): Enter presses it as Space does, and it
/// shows the keyboard's focus as BarPushButton does.
class BarToolButton final : public QToolButton {
    Q_OBJECT

public:
    explicit BarToolButton(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace window
