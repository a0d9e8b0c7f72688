#include "app/note_password_guard.h"

#include "cipher/base/bytes.h"
#include "window/view_controller.h"

#include <QCoreApplication>

#include <string_view>

namespace app {

namespace {

// The password's UTF-8 copy is ours to wipe once it has been used.
template <class Use> bool withUtf8(const QString& password, Use use) {
    QByteArray utf8 = password.toUtf8();
    const bool result = use(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    cipher::cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
    return result;
}

} // namespace

QString emptyPasswordWarning() {
    return QCoreApplication::translate("NotePasswordGuard",
                                       "This note was saved without a password: anyone with the "
                                       "file can read it. Set one in Edit → Preferences (Ctrl+,).");
}

NotePasswordGuard::NotePasswordGuard(const preferences::PasswordStore& store, platform::Prompts& prompts)
    : m_store(store), m_prompts(prompts), m_fingerprint(cipher::PasswordFingerprint::make()) {}

void NotePasswordGuard::noteKeyed(const QString& password) {
    if (m_fingerprint) {
        // A password with no key could not have opened or saved a note; holding nothing then is right.
        (void)withUtf8(password, [this](std::string_view utf8) { return m_fingerprint->remember(utf8); });
    }
}

void NotePasswordGuard::forget() noexcept {
    if (m_fingerprint) {
        m_fingerprint->forget();
    }
}

std::optional<cipher::PasswordFingerprint> NotePasswordGuard::notePassword() const {
    if (m_fingerprint && m_fingerprint->holdsOne()) {
        return m_fingerprint;
    }
    return std::nullopt;
}

bool NotePasswordGuard::confirmSave(QWidget* parent) {
    if (!m_fingerprint || !m_fingerprint->holdsOne() ||
        withUtf8(m_store.getPassword(), [this](std::string_view utf8) { return m_fingerprint->matches(utf8); })) {
        return true;
    }
    return m_prompts.askToSaveUnderNewPassword(parent);
}

void NotePasswordGuard::noteSaved(window::ViewController& vc) {
    const QString password = m_store.getPassword();
    noteKeyed(password);
    if (password.isEmpty() && !m_warnedOfEmptyPassword) {
        m_warnedOfEmptyPassword = true;
        vc.showProblem(emptyPasswordWarning());
    }
}

} // namespace app
