#pragma once

#include "cli/arguments.h"
#include "cli/terminal_password.h"

#include "cipher/base/log.h"
#include "cipher/files/atomic_file.h"
#include "cipher/note/trace.h"
#include "platform/password_keeper.h"
#include "platform/preferences.h"

#include <cstdio>

namespace cli {

/// Exit status of a command that did all it was asked.
inline constexpr int exitSuccess = 0;
/// Exit status when a note could not be read, decrypted or written.
inline constexpr int exitFailure = 1;
/// Exit status for a command line that is not understood.
inline constexpr int exitUsage = 2;

/// Where a command reads and writes and the services it uses; the caller keeps all of them alive during run().
struct Environment {
    /// The descriptor read when no input file is named.
    int input = 0;
    /// Receives the note or file text when no output file is named, and the help text.
    std::FILE* output = stdout;
    /// Receives one line per problem, naming the file and the cause; never a password or note text.
    std::FILE* errors = stderr;
    /// Source of the password when no password file is named and no terminal is given.
    const platform::Preferences& preferences;
    /// Receives "Success!" or "Failed!!" after each encrypted save; failures are reported on errors regardless.
    cipher::Log& log;
    cipher::Trace trace{};
    /// The file system calls behind every atomic write; a test passes failing ones.
    cipher::FileOps* fileOps = &cipher::systemFileOps();
    /// Where a password that no file gives is typed, with --ask-password; else null.
    TerminalPassword* terminal = nullptr;
    /// The desktop keyring, read when the editor keeps its password there; null when there is none to reach.
    platform::PasswordKeeper* keyring = nullptr;
};

/// Carries out the command and returns the process exit status (exitSuccess or exitFailure).
[[nodiscard]] int run(const Command& command, const Environment& environment);

/// Reports a usage error on the error stream with a pointer to --help; returns exitUsage.
[[nodiscard]] int reportUsageError(const UsageError& error, std::FILE* errors);

} // namespace cli
