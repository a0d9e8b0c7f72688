#include "cli/arguments.h"
#include "cli/password_places.h"
#include "cli/run.h"

#include "cipher/base/core_dumps.h"
#include "cipher/base/log.h"
#include "cipher/files/interrupted_saves.h"
#include "cipher/note/trace.h"
#include "platform/keyring_password_keeper.h"
#include "platform/password_keeper.h"
#include "platform/preferences.h"

#include <QCoreApplication>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

// A script's successful run is silent; a failed save is reported once, in the tool's own line.
struct SilentLog final : cipher::Log {
    void write(std::string_view) override {}
};

} // namespace

int main(int argc, char** argv) {
    // A core dump would hold the note and the password in plain text.
    (void)cipher::disableCoreDumps();
    // Ctrl+C, a closed terminal, a kill or a reader gone away: no temporary file is left, with the note in clear in
    // it on decrypt.
    cipher::removeNotedTemporariesOnSignals({SIGINT, SIGTERM, SIGHUP, SIGPIPE});
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const cli::ParseResult parsed = cli::parseArguments(args);
        if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
            return cli::reportUsageError(*error, stderr);
        }
        // The editor's own store, read only: QSettings needs no application object for an explicit file.
        const platform::SettingsPreferences preferences(platform::SettingsPreferences::defaultFilePath());
        const cli::Command& command = std::get<cli::Command>(parsed);
        // Read only when the command takes the editor's password: with a password file or -p the preferences are
        // never opened, whatever is there.
        const std::optional<platform::PasswordPlace> place =
            cli::takesEditorPassword(command) ? platform::recordedPasswordPlace(preferences)
                                              : std::optional(platform::PasswordPlace::preferencesFile);
        if (place == platform::PasswordPlace::nowhere && cli::takesEditorPassword(command)) {
            return cli::reportUsageError({"the editor keeps its password nowhere (it asks for it each run): use -p or "
                                          "--password-file"},
                                         stderr);
        }
        // The keyring answers through the event loop, which needs an application object; nothing else here does.
        std::optional<QCoreApplication> application;
        platform::KeyringPasswordKeeper keyring;
        if (place == platform::PasswordPlace::keyring && cli::takesEditorPassword(command)) {
            application.emplace(argc, argv);
        }
        std::optional<cli::TerminalPassword> terminal =
            command.askPassword ? cli::TerminalPassword::open() : std::nullopt;
        if (command.askPassword && !terminal) {
            return cli::reportUsageError({"option '--ask-password' needs a terminal, and there is none"}, stderr);
        }
        cipher::StderrLog verboseLog("vellumpad-cli");
        SilentLog silentLog;
        return cli::run(command, {.input = STDIN_FILENO,
                                  .output = stdout,
                                  .errors = stderr,
                                  .preferences = preferences,
                                  .log = command.verbose ? static_cast<cipher::Log&>(verboseLog) : silentLog,
                                  .trace = cipher::Trace::fromEnvironment(),
                                  .terminal = terminal ? &*terminal : nullptr,
                                  .keyring = application ? &keyring : nullptr});
    } catch (const std::bad_alloc&) {
        std::fputs("vellumpad-cli: not enough memory for this note; nothing written\n", stderr);
        return cli::exitFailure;
    }
}
