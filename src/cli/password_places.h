#pragma once

#include "cli/run.h"

#include "cipher/base/bytes.h"
#include "cli/problem.h"

namespace cli {

/// The password the editor stores, from where its preferences say it is kept: the preferences file or the desktop
/// keyring. Fails, with the line to report, when it cannot be read, when the editor keeps it nowhere, or when the
/// preferences record a place this tool does not know.
[[nodiscard]] Outcome<cipher::SecureBytes> editorPassword(const Environment& environment);

/// Whether the command would take the editor's stored password: encrypt or decrypt with no password file and no -p.
[[nodiscard]] bool takesEditorPassword(const Command& command);

/// Warns in one line when a password being set could be guessed offline in less than a century; not for the empty
/// password, which has its own warning.
void warnIfWeak(const cipher::SecureBytes& password, const Environment& environment);

} // namespace cli
