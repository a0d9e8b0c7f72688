#include "cli/run.h"

#include "cli/commands.h"

#include <cstdio>
#include <string>

namespace cli {

int run(const Command& command, const Environment& environment) {
    switch (command.kind) {
    case CommandKind::help:
    case CommandKind::version: {
        const std::string text =
            command.kind == CommandKind::help ? usageText() : std::string("vellumpad-cli " VELLUMPAD_VERSION "\n");
        std::fwrite(text.data(), 1, text.size(), environment.output);
        return std::fflush(environment.output) == 0 ? exitSuccess : exitFailure;
    }
    case CommandKind::encrypt:
        return encryptNote(command, environment);
    case CommandKind::decrypt:
        return decryptNote(command, environment);
    case CommandKind::rekey:
        return rekeyNotes(command, environment);
    }
    return exitFailure;
}

int reportUsageError(const UsageError& error, std::FILE* errors) {
    std::fprintf(errors, "vellumpad-cli: %s; see 'vellumpad-cli --help'\n", error.message.c_str());
    std::fflush(errors);
    return exitUsage;
}

} // namespace cli
