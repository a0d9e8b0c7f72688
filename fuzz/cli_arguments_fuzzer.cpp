#include "property.h"

#include "cli/arguments.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

// The arguments are the input split at NUL bytes, as they could never be split on a real command line.
std::vector<std::string> splitAtNul(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    if (size == 0) {
        return args;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find('\0', start);
        args.emplace_back(input.substr(start, end - start));
        if (end == std::string_view::npos) {
            return args;
        }
        start = end + 1;
    }
}

// Changes every byte after the first "=" of an option-like argument except "-", which keeps each value empty,
// "-" or other as it was, so that the parse takes the same path; only an error that echoed a value changes.
std::vector<std::string> withValuesChanged(std::vector<std::string> args) {
    for (std::string& arg : args) {
        const std::size_t equals = arg.find('=');
        if (!arg.starts_with('-') || equals == std::string::npos) {
            continue;
        }
        for (std::size_t i = equals + 1; i < arg.size(); ++i) {
            // The flip pairs "-" with 0xAD, and 0x80 with NUL, which no real argument holds (the parser reads C
            // strings, so it would end the value there); neither of each pair may change.
            const auto byte = static_cast<unsigned char>(arg[i]);
            if (byte != '-' && byte != ('-' ^ 0x80U) && byte != 0x80U) {
                arg[i] = static_cast<char>(byte ^ 0x80U);
            }
        }
    }
    return args;
}

bool asksFor(const std::vector<std::string>& args, std::string_view option, std::string_view shortOption = {}) {
    const auto end = std::find(args.begin(), args.end(), "--");
    return std::find(args.begin(), end, option) != end || std::find(args.begin(), end, shortOption) != end;
}

// A value the parser kept came from the command line: a whole argument, what follows an "=", or what follows a
// short option's letter in the same argument ("-oFILE").
bool cameFrom(const std::string& value, const std::vector<std::string>& args) {
    return value.empty() || std::any_of(args.begin(), args.end(), [&](const std::string& arg) {
               const std::size_t equals = arg.find('=');
               const bool attached = arg.size() > value.size() + 1 && arg.starts_with('-') && !arg.starts_with("--") &&
                                     arg.ends_with(value);
               return arg == value || attached ||
                      (equals != std::string::npos && arg.compare(equals + 1, std::string::npos, value) == 0);
           });
}

void checkCommand(const cli::Command& command, const std::vector<std::string>& args) {
    if (command.kind == cli::CommandKind::help) {
        require(command == cli::Command{});
        return;
    }
    if (command.kind == cli::CommandKind::version) {
        require(command == cli::Command{.kind = cli::CommandKind::version} && asksFor(args, "--version"));
        return;
    }
    for (const std::string* value :
         {&command.input, &command.output, &command.passwordFile, &command.oldPasswordFile, &command.newPasswordFile}) {
        require(cameFrom(*value, args));
        // "-" means a standard stream, which the empty name already says; no password file is a stream.
        require(*value != "-");
    }
    const bool rekey = command.kind == cli::CommandKind::rekey;
    require(args.front() == (rekey ? "rekey" : command.kind == cli::CommandKind::encrypt ? "encrypt" : "decrypt"));
    if (rekey) {
        // Without a terminal to ask, both passwords come from files; with one, at least one is asked for.
        require(command.askPassword != (!command.oldPasswordFile.empty() && !command.newPasswordFile.empty()));
        require(!command.files.empty());
        require(command.input.empty() && command.output.empty() && command.passwordFile.empty());
        for (const std::string& file : command.files) {
            require(file != "-" && cameFrom(file, args));
        }
    } else {
        require(command.files.empty() && command.oldPasswordFile.empty() && command.newPasswordFile.empty());
        require(!command.askPassword || command.passwordFile.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = splitAtNul(data, size);
    const cli::ParseResult result = cli::parseArguments(args);
    require(cli::parseArguments(args) == result);

    if (asksFor(args, "--help", "-h")) {
        require(std::holds_alternative<cli::Command>(result) &&
                std::get<cli::Command>(result).kind == cli::CommandKind::help);
    }
    if (const auto* command = std::get_if<cli::Command>(&result)) {
        checkCommand(*command, args);
    }

    const cli::ParseResult changed = cli::parseArguments(withValuesChanged(args));
    require(result.index() == changed.index());
    if (const auto* error = std::get_if<cli::UsageError>(&result)) {
        // One short line, with nothing that a terminal would act on.
        const std::string& message = error->message;
        require(!message.empty() && message.size() <= 256);
        require(std::none_of(message.begin(), message.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F;
        }));
        // A value after "=" may be a password typed by mistake: the message must not depend on it.
        require(std::get<cli::UsageError>(changed) == *error);
    } else {
        require(std::get<cli::Command>(changed).kind == std::get<cli::Command>(result).kind);
    }
    return 0;
}
