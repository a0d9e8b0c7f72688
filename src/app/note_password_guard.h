#pragma once

#include "cipher/crypto/password_fingerprint.h"
#include "platform/prompts.h"
#include "preferences/password_store.h"

#include <QString>

#include <optional>

class QWidget;

namespace window {
class ViewController;
}

namespace app {

/// The text shown once per run after a note is saved under the empty password, in the interface language.
[[nodiscard]] QString emptyPasswordWarning();

/// Keeps a note from being re-keyed behind the user's back: remembers, as a salted fingerprint only, the password
/// the note was opened or last saved with, asks before it is saved under a different stored password, and warns
/// once per run when a note is saved under the empty password.
class NotePasswordGuard {
public:
    /// Remembers nothing yet; store and prompts must outlive the guard.
    NotePasswordGuard(const preferences::PasswordStore& store, platform::Prompts& prompts);

    /// The note was opened or saved under password: remembers it in place of any earlier one.
    void noteKeyed(const QString& password);
    /// Wipes what is remembered, so that the next save asks nothing (New, quit).
    void forget() noexcept;
    /// A copy of what recognises the note's password, or no value when none is remembered.
    [[nodiscard]] std::optional<cipher::PasswordFingerprint> notePassword() const;
    /// Whether the note may be written under the stored password: true when none is remembered or it is the stored
    /// one, or when the user chooses "Save With New Password" in a box over parent.
    [[nodiscard]] bool confirmSave(QWidget* parent);
    /// After a save under the stored password: remembers it and, the first time in this run that it is empty, says so
    /// in vc's problem bar.
    void noteSaved(window::ViewController& vc);

private:
    const preferences::PasswordStore& m_store;
    platform::Prompts& m_prompts;
    // Without random bytes for the salt nothing is remembered, and saves go ahead as they always did.
    std::optional<cipher::PasswordFingerprint> m_fingerprint;
    bool m_warnedOfEmptyPassword = false;
};

} // namespace app
