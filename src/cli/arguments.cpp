#include "cli/arguments.h"

#include <array>
#include <string_view>

namespace cli {
namespace {

struct OptionSpec {
    std::string_view shortName;
    std::string_view longName;
    std::string Command::*field;
    bool forRekey;
};

constexpr std::array<OptionSpec, 4> optionSpecs{{
    {"-o", "--output", &Command::output, false},
    {"", "--password-file", &Command::passwordFile, false},
    {"", "--old-password-file", &Command::oldPasswordFile, true},
    {"", "--new-password-file", &Command::newPasswordFile, true},
}};

/// An option that takes no value.
struct FlagSpec {
    std::string_view shortName;
    std::string_view longName;
    bool Command::*field;
};

constexpr std::array<FlagSpec, 2> flagSpecs{{
    {"-p", "--ask-password", &Command::askPassword},
    {"", "--verbose", &Command::verbose},
}};

constexpr std::size_t maxQuotedLength = 60;

// Arguments are echoed in messages; control characters could rewrite the terminal, and a very long argument is
// more likely a pasted note than a name worth showing in full.
std::string quoted(std::string_view text) {
    std::string result = "'";
    for (const char c : text.substr(0, maxQuotedLength)) {
        const auto byte = static_cast<unsigned char>(c);
        result += (byte < 0x20 || byte == 0x7f) ? '?' : c;
    }
    if (text.size() > maxQuotedLength) {
        result += "...";
    }
    return result + "'";
}

template <class Spec, std::size_t count>
const Spec* findIn(const std::array<Spec, count>& specs, std::string_view name) {
    for (const Spec& spec : specs) {
        if (name == spec.shortName || name == spec.longName) {
            return &spec;
        }
    }
    return nullptr;
}

std::string_view commandName(CommandKind kind) {
    switch (kind) {
    case CommandKind::encrypt:
        return "encrypt";
    case CommandKind::decrypt:
        return "decrypt";
    case CommandKind::rekey:
        return "rekey";
    case CommandKind::help:
    case CommandKind::version:
        break;
    }
    return "help";
}

UsageError unknownOption(std::string_view argument) {
    // Short options take no attached value, so only the first letter can be an option name; the rest might be a
    // password typed straight after "-p".
    const bool attached = argument.size() > 2 && argument[1] != '-';
    if (attached) {
        argument = argument.substr(0, 2);
    }
    if (argument == "--password" || (attached && argument == "-p")) {
        return {"the password is never taken from the command line, where others could see it: use --password-file "
                "FILE or --ask-password"};
    }
    if (findIn(optionSpecs, argument) != nullptr || findIn(flagSpecs, argument) != nullptr) {
        return {"the command (encrypt, decrypt or rekey) comes before option " + quoted(argument)};
    }
    return {"unknown option " + quoted(argument)};
}

UsageError checkRekey(const Command& command, const std::vector<std::string>& operands) {
    if (command.askPassword) {
        if (!command.oldPasswordFile.empty() && !command.newPasswordFile.empty()) {
            return {"option '--ask-password' has nothing to ask when both password files are given"};
        }
    } else if (command.oldPasswordFile.empty()) {
        return {"rekey needs --old-password-file FILE or --ask-password"};
    } else if (command.newPasswordFile.empty()) {
        return {"rekey needs --new-password-file FILE or --ask-password"};
    }
    if (operands.empty()) {
        return {"rekey needs at least one note file"};
    }
    for (const std::string& operand : operands) {
        if (operand == "-") {
            return {"rekey rewrites note files in place and cannot read standard input"};
        }
    }
    return {};
}

} // namespace

ParseResult parseArguments(const std::vector<std::string>& args) {
    bool versionAsked = false;
    for (const std::string& arg : args) {
        if (arg == "--") {
            break;
        }
        if (arg == "--help" || arg == "-h") {
            return Command{};
        }
        versionAsked = versionAsked || arg == "--version";
    }
    if (versionAsked) {
        return Command{.kind = CommandKind::version};
    }
    if (args.empty()) {
        return UsageError{"no command given"};
    }

    Command command;
    const std::string_view name = args.front();
    if (name == "encrypt") {
        command.kind = CommandKind::encrypt;
    } else if (name == "decrypt") {
        command.kind = CommandKind::decrypt;
    } else if (name == "rekey") {
        command.kind = CommandKind::rekey;
    } else if (name.starts_with('-')) {
        return unknownOption(name.substr(0, name.find('=')));
    } else {
        return UsageError{"unknown command " + quoted(name)};
    }
    const bool isRekey = command.kind == CommandKind::rekey;

    std::vector<std::string> operands;
    std::array<bool, optionSpecs.size()> seen{};
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
            operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
        const std::string_view optionName = arg.substr(0, equals);
        if (const FlagSpec* flag = findIn(flagSpecs, optionName)) {
            if (equals != std::string_view::npos) {
                return UsageError{"option " + quoted(optionName) + " takes no value"};
            }
            command.*(flag->field) = true;
            continue;
        }
        const OptionSpec* spec = findIn(optionSpecs, optionName);
        if (spec == nullptr) {
            return unknownOption(optionName);
        }
        const std::string shownName = quoted(optionName);
        if (spec->forRekey != isRekey) {
            return UsageError{"option " + shownName + " does not apply to " + std::string(commandName(command.kind))};
        }
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        }
        if (value.empty()) {
            return UsageError{"option " + shownName + " needs a file name"};
        }
        const auto index = static_cast<std::size_t>(spec - optionSpecs.data());
        if (seen[index]) {
            return UsageError{"option " + shownName + " is given twice"};
        }
        seen[index] = true;
        if (spec->field != &Command::output && value == "-") {
            return UsageError{"option " + shownName + " needs a file; for standard input name /dev/stdin"};
        }
        // "-o -" names standard output, which an empty output already means.
        command.*(spec->field) = value == "-" ? std::string() : std::string(value);
    }

    if (isRekey) {
        if (UsageError error = checkRekey(command, operands); !error.message.empty()) {
            return error;
        }
        command.files = std::move(operands);
        return command;
    }
    if (command.askPassword && !command.passwordFile.empty()) {
        return UsageError{"options '--ask-password' and '--password-file' cannot be used together"};
    }
    if (operands.size() > 1) {
        return UsageError{std::string(commandName(command.kind)) + " takes one input file at most, not " +
                          std::to_string(operands.size())};
    }
    if (!operands.empty() && operands.front() != "-") {
        command.input = operands.front();
    }
    return command;
}

std::string usageText() {
    return R"(Usage:
  vellumpad-cli encrypt [-o OUT.vpd] [--password-file FILE | -p] [--verbose] [IN]
  vellumpad-cli decrypt [-o OUT] [--password-file FILE | -p] [IN.vpd]
  vellumpad-cli rekey [--old-password-file FILE] [--new-password-file FILE] [-p]
                      [--verbose] NOTE.vpd...
  vellumpad-cli --help | --version

Reads and writes Vellumpad notes without a window.

  encrypt   turn UTF-8 text into a note file
  decrypt   turn a note file back into its text; a note that does not decrypt
            whole and clean is refused, and nothing is written
  rekey     re-encrypt note files in place under a new password; a note that does
            not decrypt cleanly under the old password is reported and left as it is

IN defaults to standard input ("-" too), OUT to standard output. OUT is replaced
atomically, and a new OUT is readable by its owner only.

Options:
  -o, --output FILE           write to FILE instead of standard output
  --password-file FILE        take the password from FILE, less one trailing line
                              break, instead of the password stored by the editor
  -p, --ask-password          type the password at the terminal, not shown; a
                              password being set (encrypt, rekey's new one) is
                              asked twice and must be typed the same both times
  --old-password-file FILE    rekey: the password the notes are encrypted under
  --new-password-file FILE    rekey: the password to encrypt them under
  --verbose                   log each encrypted save on standard error
  -h, --help                  show this text
  --version                   show the version

The password is never taken from the command line, where others could see it.
--password-file and -p exclude each other. rekey takes each password from its
file, and with -p asks at the terminal for the one no file gives, or for both.
Without a terminal -p is refused.

A command that succeeds prints nothing but its output. encrypt and rekey warn
when the password is empty. With VELLUMPAD_TRACE=1 the steps of the cipher,
note text included, are written to standard output; use -o then.

Exit status: 0 on success, 1 when a note could not be read, decrypted or written,
2 for a command line that is not understood.
)";
}

} // namespace cli
