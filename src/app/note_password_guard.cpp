#include "app/note_password_guard.h"

#include "window/view_controller.h"

namespace app {

NotePasswordGuard::NotePasswordGuard(const preferences::PasswordStore& store, platform::Prompts& prompts)
    : m_store(store), m_prompts(prompts), m_fingerprint(cipher::PasswordFingerprint::make()) {}

void NotePasswordGuard::noteKeyed(const QString& password) {
    if (m_fingerprint) {
        // A password with no key could not have opened or saved a note; holding nothing then is right.
        (void)m_fingerprint->remember(password.toStdString());
    }
}

void NotePasswordGuard::forget() noexcept {
    if (m_fingerprint) {
        m_fingerprint->forget();
    }
}

bool NotePasswordGuard::confirmSave(QWidget* parent) {
    if (!m_fingerprint || !m_fingerprint->holdsOne() || m_fingerprint->matches(m_store.getPassword().toStdString())) {
        return true;
    }
    return m_prompts.askToSaveUnderNewPassword(parent);
}

void NotePasswordGuard::noteSaved(window::ViewController& vc) {
    const QString password = m_store.getPassword();
    noteKeyed(password);
    if (password.isEmpty() && !m_warnedOfEmptyPassword) {
        m_warnedOfEmptyPassword = true;
        vc.showProblem(emptyPasswordWarning.toString());
    }
}

} // namespace app
