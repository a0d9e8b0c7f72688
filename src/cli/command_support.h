#pragma once

#include "cli/input.h"
#include "cli/run.h"

#include "cipher/base/bytes.h"
#include "cipher/base/result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// What the encrypt, decrypt and rekey commands share: reporting, passwords, opening and reading their inputs.
namespace cli {

/// Writes the message on the error stream as one "vellumpad-cli: " line, control characters shown as '?'.
void report(const Environment& environment, std::string_view message);

/// Said before a note is encrypted under the empty password, which the file format allows but protects nothing.
void warnIfEmpty(const cipher::SecureBytes& password, const Environment& environment);

/// The quoted file name, or "standard input" when the name is empty.
std::string displayName(const std::string& path);

/// What may be read from an input, and how much.
struct SourceRules {
    std::optional<InputKinds> kinds; ///< no value: any kind that can be read (a password from /dev/stdin, say)
    std::size_t limit = noReadLimit;
    bool textOnly = false;
};

/// The whole content of the named file, or of the environment's input when the name is empty, read by the rules.
/// The failure is the line to report for a file that cannot be read; a limit passed or a text that is not UTF-8 is
/// told by the read's end.
Outcome<cipher::SecureBytes> readSource(const std::string& path, const Environment& environment,
                                        const SourceRules& rules, ReadEnd& end);

/// The line for an output file that could not be written; the writer keeps its earlier content.
std::string writeFailure(const std::string& path, const cipher::Failure& failure);

/// The password from the file, else typed at the terminal when there is one (asked twice with a repeat prompt, for
/// a password being set), else the one the editor stores.
Outcome<cipher::SecureBytes> obtainPassword(const std::string& passwordFile, const Environment& environment,
                                            std::string_view prompt, std::string_view repeatPrompt = {});

/// The descriptor to read a note from: the named file (a regular file or a pipe), opened here, or the
/// environment's input when the name is empty; -1, reported, when the file cannot be opened or is of another kind.
int openSource(const std::string& path, const Environment& environment);

/// Whether the command would write over its own input: the file named with -o, or standard output, is the input
/// file. Reported; nothing may be read or written then, as writing would destroy what is being read.
bool writesOverItsInput(const Command& command, int input, const Environment& environment);

/// Whether the named output is an existing file that is read-only: its mode grants nobody writing, or this user may
/// not write it. Reported; such a file is never replaced, as openssl enc -out and the editor, which asks first, keep
/// it too.
bool refusesReadOnlyOutput(const std::string& path, const Environment& environment);

/// Wipes a decrypted note once it is no longer needed.
struct WipeOnExit {
    std::string& text;
    ~WipeOnExit() { cipher::cleanse(text.data(), text.size()); }
};

/// Closes a descriptor openSource opened; the environment's input stays open.
void closeSource(const std::string& path, int fd);

} // namespace cli
