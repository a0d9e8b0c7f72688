#include "window/note_password.h"

#include <QStringView>

#include <utility>

namespace window {

NotePassword::NotePassword(QString text) : m_usable(QStringView(text).isValidUtf16()) {
    if (m_usable) {
        m_text = std::move(text);
    }
}

} // namespace window
