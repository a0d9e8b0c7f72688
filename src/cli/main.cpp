#include "cli/arguments.h"
#include "cli/run.h"

#include "cipher/core_dumps.h"
#include "cipher/log.h"
#include "cipher/trace.h"
#include "platform/preferences.h"

#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>
#include <variant>
#include <vector>

int main(int argc, char** argv) {
    // A core dump would hold the note and the password in plain text.
    (void)cipher::disableCoreDumps();
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const cli::ParseResult parsed = cli::parseArguments(args);
        if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
            return cli::reportUsageError(*error, stderr);
        }
        // The editor's own store, read only: QSettings needs no application object for an explicit file.
        const platform::SettingsPreferences preferences(platform::SettingsPreferences::defaultFilePath());
        cipher::StderrLog log("vellumpad-cli");
        return cli::run(std::get<cli::Command>(parsed), {.input = STDIN_FILENO,
                                                         .output = stdout,
                                                         .errors = stderr,
                                                         .preferences = preferences,
                                                         .log = log,
                                                         .trace = cipher::Trace::fromEnvironment()});
    } catch (const std::bad_alloc&) {
        std::fputs("vellumpad-cli: not enough memory for this note; nothing written\n", stderr);
        return cli::exitFailure;
    }
}
