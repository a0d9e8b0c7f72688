#pragma once

#include "cli/run.h"

// The commands run() dispatches to; each returns the process exit status (exitSuccess or exitFailure).
namespace cli {

/// Encrypts the input note into the output file, or onto the environment's output; failures are reported.
[[nodiscard]] int encryptNote(const Command& command, const Environment& environment);

/// Decrypts the input note into the output file, or onto the environment's output; failures are reported.
[[nodiscard]] int decryptNote(const Command& command, const Environment& environment);

/// Re-encrypts each named note in place under the new password; a note that cannot be is reported and left as it was.
[[nodiscard]] int rekeyNotes(const Command& command, const Environment& environment);

} // namespace cli
