#pragma once

#include <string>
#include <variant>
#include <vector>

namespace cli {

/// What the tool was asked to do.
enum class CommandKind { help, version, encrypt, decrypt, rekey };

/// A command line understood. An empty input or output names the standard stream; an empty password file means
/// the password typed at the terminal with askPassword, else the password stored in the editor's preferences.
struct Command {
    CommandKind kind = CommandKind::help;
    std::string input{};
    std::string output{};
    std::string passwordFile{};
    std::string oldPasswordFile{};
    std::string newPasswordFile{};
    std::vector<std::string> files{};
    /// The passwords that no file gives are typed at the terminal.
    bool askPassword = false;
    /// The save log lines appear on standard error.
    bool verbose = false;

    friend bool operator==(const Command&, const Command&) = default;
};

/// Why a command line was refused, in one line without the program name (for example "unknown option '--x'").
struct UsageError {
    std::string message;

    friend bool operator==(const UsageError&, const UsageError&) = default;
};

/// A command, or why there is none.
using ParseResult = std::variant<Command, UsageError>;

/// Reads the arguments after the program name. Pure: no I/O, never throws beyond allocation failure.
/// Never repeats a value given with "=" in an error, as it might be a password typed by mistake.
[[nodiscard]] ParseResult parseArguments(const std::vector<std::string>& args);

/// The text that --help prints.
[[nodiscard]] std::string usageText();

} // namespace cli
