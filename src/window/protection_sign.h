#pragma once

#include <QWidget>

class QLabel;

namespace window {

/// The status bar's sign of how the note is kept: a closed lock and "Encrypted" while a password is set, an open
/// lock and "No password: anyone with the file can read it" while none is. Drawn in the palette's colours.
class ProtectionSign final : public QWidget {
    Q_OBJECT

public:
    /// A sign that says "Encrypted".
    explicit ProtectionSign(QWidget* parent = nullptr);

    /// Whether the sign says the note is kept encrypted under a password.
    [[nodiscard]] bool isEncrypted() const { return m_encrypted; }
    void setEncrypted(bool encrypted);
    /// What the sign says.
    [[nodiscard]] QString text() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void draw();

    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    bool m_encrypted = true;
};

} // namespace window
