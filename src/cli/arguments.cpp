#include "cli/arguments.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace cli {
namespace {

/// One option of the commands: how it is spelt, what it sets, and its line in --help. A value option sets a string
/// field; a flag sets a bool field.
struct OptionSpec {
    char shortName; ///< '\0' for none
    std::string_view longName;
    std::string_view valueName; ///< empty for a flag
    std::string Command::*value;
    bool Command::*flag;
    enum class For { encryptAndDecrypt, rekey, all } appliesTo;
    std::string_view help;
};

using For = OptionSpec::For;

// The one list of options: getopt reads it, --help prints it, and the bash completion reads --help.
constexpr std::array<OptionSpec, 6> optionSpecs{{
    {'o', "output", "FILE", &Command::output, nullptr, For::encryptAndDecrypt,
     "write to FILE instead of standard output"},
    {'\0', "password-file", "FILE", &Command::passwordFile, nullptr, For::encryptAndDecrypt,
     "take the password from FILE, less one trailing line\nbreak, instead of the password stored by the editor"},
    {'p', "ask-password", "", nullptr, &Command::askPassword, For::all,
     "type the password at the terminal, not shown; a\npassword being set (encrypt, rekey's new one) is\nasked "
     "twice and must be typed the same both times"},
    {'\0', "old-password-file", "FILE", &Command::oldPasswordFile, nullptr, For::rekey,
     "rekey: the password the notes are encrypted under"},
    {'\0', "new-password-file", "FILE", &Command::newPasswordFile, nullptr, For::rekey,
     "rekey: the password to encrypt them under"},
    {'\0', "verbose", "", nullptr, &Command::verbose, For::all, "log each encrypted save on standard error"},
}};

// getopt_long's value for an option without a short name: past every character.
constexpr int firstLongOnly = 256;
// getopt_long's value, in the order of the arguments, for an argument that is no option.
constexpr int operandValue = 1;

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

const OptionSpec* findSpelt(std::string_view name) {
    for (const OptionSpec& spec : optionSpecs) {
        if ((name.size() == 2 && name[0] == '-' && name[1] == spec.shortName && spec.shortName != '\0') ||
            (name.starts_with("--") && name.substr(2) == spec.longName)) {
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
    // Only the first letter of a short option can be its name; the rest might be a password typed straight after
    // "-p".
    const bool attached = argument.size() > 2 && argument[1] != '-';
    if (attached) {
        argument = argument.substr(0, 2);
    }
    if (argument == "--password" || (attached && argument == "-p")) {
        return {"the password is never taken from the command line, where others could see it: use --password-file "
                "FILE or --ask-password"};
    }
    if (findSpelt(argument) != nullptr) {
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

/// The options and operands after the command word, read by getopt_long: options may come among the operands, and
/// a short option's value may be attached ("-oFILE"). What getopt_long cannot do is checked around it: a long
/// option must be spelt out in full (an abbreviation such as "--password" must not be taken for
/// "--password-file"), and the message for each mistake is the tool's own.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& args, CommandKind kind) : m_kind(kind) {
        for (const std::string& arg : args) {
            m_storage.push_back(arg);
        }
        for (std::string& arg : m_storage) {
            m_argv.push_back(arg.data());
        }
        m_argv.push_back(nullptr);
        std::string shortOptions = "-:"; // operands in order, a missing value told apart
        for (const OptionSpec& spec : optionSpecs) {
            const int value =
                spec.shortName != '\0' ? spec.shortName : firstLongOnly + static_cast<int>(&spec - optionSpecs.data());
            m_longOptions.push_back(
                {spec.longName.data(), spec.valueName.empty() ? no_argument : required_argument, nullptr, value});
            if (spec.shortName != '\0') {
                shortOptions += spec.shortName;
                shortOptions += spec.valueName.empty() ? "" : ":";
            }
        }
        m_longOptions.push_back({nullptr, 0, nullptr, 0});
        m_shortOptions = std::move(shortOptions);
    }

    /// Fills the command and the operands; the error, if the options are not understood.
    UsageError read(Command& command, std::vector<std::string>& operands) {
        // getopt_long keeps its place in globals: 0 starts it afresh, and it must print nothing.
        optind = 0;
        opterr = 0;
        const int argc = static_cast<int>(m_argv.size()) - 1;
        std::array<bool, optionSpecs.size()> seen{};
        for (;;) {
            const int before = optind == 0 ? 1 : optind;
            int index = -1;
            const int got = ::getopt_long(argc, m_argv.data(), m_shortOptions.c_str(), m_longOptions.data(), &index);
            if (got == -1) {
                break;
            }
            if (got == operandValue) {
                operands.emplace_back(optarg);
                continue;
            }
            const std::string_view element = before < argc ? m_argv[static_cast<std::size_t>(before)] : "";
            if (UsageError error = readOption(command, got, index >= 0, element, optind == before, seen);
                !error.message.empty()) {
                return error;
            }
        }
        for (int rest = optind; rest < argc; ++rest) {
            operands.emplace_back(m_argv[static_cast<std::size_t>(rest)]);
        }
        return {};
    }

private:
    /// Takes the option getopt_long gave as got, read from the argument element; moreInElement when that argument
    /// goes on after the option's letter ("-pSECRET").
    UsageError readOption(Command& command, int got, bool isLong, std::string_view element, bool moreInElement,
                          std::array<bool, optionSpecs.size()>& seen) const {
        if (got == '?' || got == ':') {
            return refused(element, got == ':');
        }
        const OptionSpec* spec = got < firstLongOnly ? findSpelt(std::string{'-', static_cast<char>(got)})
                                                     : &optionSpecs[static_cast<std::size_t>(got - firstLongOnly)];
        // A long option given only in part ("--pass") is not guessed at.
        const std::string_view spelt = isLong ? element.substr(0, element.find('=')) : element.substr(0, 2);
        if (isLong && spelt.substr(2) != spec->longName) {
            return unknownOption(spelt);
        }
        if (spec->flag != nullptr) {
            // "-pSECRET": what follows -p in the same argument may be a password typed by mistake.
            if (moreInElement && spelt == "-p") {
                return unknownOption(element);
            }
            command.*(spec->flag) = true;
            return {};
        }
        return take(command, *spec, spelt, seen);
    }

    UsageError refused(std::string_view element, bool missingValue) const {
        const bool isLong = element.starts_with("--");
        const std::string_view name =
            isLong ? element.substr(0, element.find('=')) : element.substr(0, element.size() > 1 ? 2 : 1);
        const std::string letter =
            optopt > 0 && optopt < firstLongOnly ? std::string{'-', static_cast<char>(optopt)} : std::string(name);
        const std::string_view shown = isLong ? name : std::string_view(letter);
        const OptionSpec* spec = findSpelt(shown);
        if (missingValue && spec != nullptr) {
            return {"option " + quoted(shown) + " needs a file name"};
        }
        if (spec != nullptr && spec->flag != nullptr && isLong && element.find('=') != std::string_view::npos) {
            return {"option " + quoted(name) + " takes no value"};
        }
        return unknownOption(isLong ? name : element);
    }

    UsageError take(Command& command, const OptionSpec& spec, std::string_view spelt,
                    std::array<bool, optionSpecs.size()>& seen) const {
        const std::string shownName = quoted(spelt);
        if ((spec.appliesTo == For::rekey) != (m_kind == CommandKind::rekey)) {
            return {"option " + shownName + " does not apply to " + std::string(commandName(m_kind))};
        }
        const std::string_view value = optarg != nullptr ? optarg : "";
        if (value.empty()) {
            return {"option " + shownName + " needs a file name"};
        }
        const auto index = static_cast<std::size_t>(&spec - optionSpecs.data());
        if (seen[index]) {
            return {"option " + shownName + " is given twice"};
        }
        seen[index] = true;
        if (spec.value != &Command::output && value == "-") {
            return {"option " + shownName + " needs a file; for standard input name /dev/stdin"};
        }
        // "-o -" names standard output, which an empty output already means.
        command.*(spec.value) = value == "-" ? std::string() : std::string(value);
        return {};
    }

    CommandKind m_kind;
    std::vector<std::string> m_storage;
    std::vector<char*> m_argv{const_cast<char*>("vellumpad-cli")};
    std::vector<option> m_longOptions;
    std::string m_shortOptions;
};

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

    std::vector<std::string> operands;
    OptionReader reader(std::vector<std::string>(args.begin() + 1, args.end()), command.kind);
    if (UsageError error = reader.read(command, operands); !error.message.empty()) {
        return error;
    }
    if (command.kind == CommandKind::rekey) {
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
    std::string options;
    for (const OptionSpec& spec : optionSpecs) {
        std::string line = "  ";
        if (spec.shortName != '\0') {
            line += '-';
            line += spec.shortName;
            line += ", ";
        }
        line += "--";
        line += spec.longName;
        if (!spec.valueName.empty()) {
            line += ' ';
            line += spec.valueName;
        }
        std::string_view help = spec.help;
        for (bool first = true; !help.empty(); first = false) {
            const std::size_t end = help.find('\n');
            line.resize(first ? std::max<std::size_t>(line.size() + 1, 30) : 30, ' ');
            line += help.substr(0, end);
            options += line + "\n";
            line.clear();
            help = end == std::string_view::npos ? std::string_view() : help.substr(end + 1);
        }
    }
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
)" + options +
           R"(  -h, --help                  show this text
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
