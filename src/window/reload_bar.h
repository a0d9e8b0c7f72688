#pragma once

#include "window/message_bar.h"

class QLabel;
class QPushButton;

namespace window {

/// The bar above the note that says its file was changed on disk by someone else and offers Reload. Hidden until
/// asked to show; it only says what was chosen.
class ReloadBar final : public QWidget {
    Q_OBJECT

public:
    /// A hidden bar.
    explicit ReloadBar(QWidget* parent = nullptr);

    /// Says that the file at path changed on disk.
    void showChanged(const QString& path);
    /// The message shown, or "" while hidden.
    [[nodiscard]] QString message() const;

signals:
    /// Reload was pressed.
    void reloadChosen();
    /// Ignore was pressed.
    void ignoreChosen();

private:
    MessageBar* m_bar = nullptr;
    QLabel* m_label = nullptr;
};

} // namespace window
