#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace window {

/// What a locked window shows instead of the note: "Locked. Enter the password to unlock.", a masked field and
/// Unlock. It asks; whoever holds the lock decides.
class LockPanel final : public QWidget {
    Q_OBJECT

public:
    /// A hidden panel.
    explicit LockPanel(QWidget* parent = nullptr);

    /// Empties the field and the message and puts the focus in the field.
    void reset();
    /// Says why the last password did not unlock (or "" for nothing), empties the field and keeps the focus there.
    void showRefusal(const QString& message);
    /// Lets the user try (true) or not yet (false).
    void allowTries(bool allowed);

signals:
    /// Unlock was pressed, or Return in the field.
    void unlockRequested(const QString& password);

private:
    QLineEdit* m_password = nullptr;
    QPushButton* m_unlock = nullptr;
    QLabel* m_message = nullptr;
};

} // namespace window
