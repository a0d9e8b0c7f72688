#pragma once

#include <QByteArray>
#include <QString>

namespace window {

/// The note password as the application hands it to the window: its text, or explicitly unusable (it could not be
/// read from where it is kept, or it has no UTF-8 form). An unusable password is refused, never replaced by another.
class NotePassword {
public:
    /// An unusable password.
    NotePassword() = default;
    /// The password with this text; unusable when the text has no UTF-8 form (a lone surrogate), which toUtf8 would
    /// silently turn into "?" and so into the key of another password.
    explicit NotePassword(QString text);

    [[nodiscard]] bool usable() const noexcept { return m_usable; }
    /// The text; "" when unusable.
    [[nodiscard]] const QString& text() const noexcept { return m_text; }
    /// The UTF-8 bytes, for the caller to wipe; only when usable.
    [[nodiscard]] QByteArray utf8() const { return m_text.toUtf8(); }

private:
    QString m_text;
    bool m_usable = false;
};

} // namespace window
