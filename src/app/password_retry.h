#pragma once

#include "cipher/base/result.h"
#include "cipher/note/note_file.h"
#include "platform/prompts.h"
#include "preferences/password_store.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

namespace window {
class ViewController;
}

namespace app {

/// The label of the problem bar's button that offers another password for a note that did not open, in the
/// interface language.
[[nodiscard]] QString tryAnotherPasswordLabel();

/// A note and the password it opened under.
struct OpenedNote {
    QString path;
    QString password;
    /// Whether the password could be stored as the preferences store it.
    bool stored = true;
    /// What the read that opened the note saw of its file.
    cipher::FileSnapshot file{};
};

/// Offers another password for a note that the stored one does not open, and opens the note under it.
class PasswordRetry {
    Q_DECLARE_TR_FUNCTIONS(PasswordRetry)

public:
    /// store and prompts must outlive the retry.
    PasswordRetry(preferences::PasswordStore& store, platform::Prompts& prompts);

    /// Says in vc's problem bar why the note at path did not open; when the password may be wrong, the bar offers
    /// "Try Another Password…" for that note.
    void showFailure(window::ViewController& vc, const QString& path, const cipher::Failure& failure);
    /// Asks for passwords until one opens the note last offered, saying each time why the one before was refused, or
    /// until the user cancels. A password that opens it is stored exactly as the preferences store it, the note is
    /// in vc's view and is returned; otherwise nothing has changed and no value is returned.
    [[nodiscard]] std::optional<OpenedNote> run(window::ViewController& vc);
    /// The note last offered another password, or "" when none was.
    [[nodiscard]] const QString& offeredPath() const noexcept { return m_path; }

private:
    preferences::PasswordStore& m_store;
    platform::Prompts& m_prompts;
    QString m_path;
};

} // namespace app
