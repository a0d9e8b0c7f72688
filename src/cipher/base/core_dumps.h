#pragma once

namespace cipher {

/// Stops the process from ever writing a core dump, which would hold the open note and the password in plain text:
/// no core file (RLIMIT_CORE 0) and no dump or ptrace attach by other processes of the user (not dumpable). Call
/// first thing in main. False when the system refused either.
bool disableCoreDumps() noexcept;

/// Has the C library overwrite heap memory as it is freed, so that what libraries we do not own (Qt, Scintilla)
/// held of a note or a password does not stay in freed memory. Call first thing in main, before anything is
/// allocated. False when the C library does not offer it.
bool wipeFreedMemory() noexcept;

} // namespace cipher
