#include "app/password_retry.h"

#include "platform/failure_text.h"
#include "window/view_controller.h"

#include <QFileInfo>

namespace app {

QString tryAnotherPasswordLabel() {
    return PasswordRetry::tr("Try Another Password…");
}

PasswordRetry::PasswordRetry(preferences::PasswordStore& store, platform::Prompts& prompts)
    : m_store(store), m_prompts(prompts) {}

void PasswordRetry::showFailure(window::ViewController& vc, const QString& path, const cipher::Failure& failure) {
    // The path as the user chose it, not as the core spelt it.
    cipher::Failure named = failure;
    named.path = path.toStdString();
    // Of a file that is no note, no password opens it: offering to try another would only have the user try every
    // one they know.
    if (failure.cause != cipher::FailureCause::wrongPasswordOrDamaged) {
        vc.showProblem(platform::FailureText::sentence(named));
        return;
    }
    m_path = path;
    vc.showProblemWithAction(platform::FailureText::sentence(named), tryAnotherPasswordLabel());
}

std::optional<OpenedNote> PasswordRetry::run(window::ViewController& vc) {
    if (m_path.isEmpty()) {
        return std::nullopt;
    }
    QString refusal;
    for (;;) {
        const std::optional<QString> given = m_prompts.askForPassword(vc.window(), m_path, refusal);
        if (!given) {
            return std::nullopt;
        }
        // The one road every note opens by, so that a password opens here exactly what it opens from File > Open.
        const cipher::Result<cipher::Done> loaded = vc.loadEncryptedText(m_path, *given);
        if (loaded) {
            const bool stored = m_store.setPasswordWithPass(*given);
            return OpenedNote{m_path, *given, stored};
        }
        if (loaded.failure().cause != cipher::FailureCause::wrongPasswordOrDamaged) {
            // The file itself went wrong meanwhile (moved, unreadable): another password will not help.
            showFailure(vc, m_path, loaded.failure());
            return std::nullopt;
        }
        refusal = tr("That password does not open “%1” either.").arg(QFileInfo(m_path).fileName());
    }
}

} // namespace app
