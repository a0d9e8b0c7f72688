#pragma once

namespace cipher {

/// Stops the process from ever writing a core dump, which would hold the open note and the password in plain text:
/// no core file (RLIMIT_CORE 0) and no dump or ptrace attach by other processes of the user (not dumpable). Call
/// first thing in main. False when the system refused either.
bool disableCoreDumps() noexcept;

} // namespace cipher
