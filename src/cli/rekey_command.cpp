#include "cli/commands.h"

#include "cli/command_support.h"

#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/stream/note_stream.h"

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

namespace cli {
namespace {

/// Re-encrypts one note in place; false, with the reason reported, when it is left as it was.
bool rekeyNote(const std::string& path, std::string_view oldPassword, std::string_view newPassword,
               const Environment& environment) {
    // Only a regular file: a note is rewritten in place, and a pipe or device would be read for ever.
    ReadEnd end;
    const cipher::Result<cipher::SecureBytes> content =
        readSource(path, environment, {.kinds = InputKinds::regularOnly, .limit = noReadLimit, .textOnly = true}, end);
    if (!content) {
        report(environment, content.failure().message + "; left unchanged");
        return false;
    }
    cipher::Result<std::string> note = end.notText ? cipher::Failure{}
                                                   : cipher::decryptWhole(cipher::asText(content.value()), oldPassword,
                                                                          cipher::noteIv, environment.trace);
    if (!note) {
        report(environment,
               displayName(path) + ": " + std::string(cipher::wrongPasswordOrDamagedWords) + "; left unchanged");
        return false;
    }
    const WipeOnExit wipe{note.value()};
    const cipher::Result<cipher::Done> saved = cipher::saveEncryptedText(
        path, note.value(), newPassword, cipher::noteIv, environment.trace, environment.log, *environment.fileOps);
    if (!saved) {
        report(environment, writeFailure(path, saved.failure()));
        return false;
    }
    return true;
}

} // namespace

int rekeyNotes(const Command& command, const Environment& environment) {
    const cipher::Result<cipher::SecureBytes> oldPassword =
        obtainPassword(command.oldPasswordFile, environment, "Old password: ");
    if (!oldPassword) {
        report(environment, oldPassword.failure().message + "; no note changed");
        return exitFailure;
    }
    const cipher::Result<cipher::SecureBytes> newPassword =
        obtainPassword(command.newPasswordFile, environment, "New password: ", "Repeat new password: ");
    if (!newPassword) {
        report(environment, newPassword.failure().message + "; no note changed");
        return exitFailure;
    }
    warnIfEmpty(newPassword.value(), environment);
    bool allDone = true;
    // A note named twice (say by overlapping wildcards) would no longer open under the old password the second
    // time and be reported as damaged.
    std::set<std::filesystem::path> seen;
    for (const std::string& path : command.files) {
        std::error_code error;
        std::filesystem::path identity = std::filesystem::weakly_canonical(path, error);
        if (!seen.insert(error ? std::filesystem::path(path) : std::move(identity)).second) {
            continue;
        }
        allDone =
            rekeyNote(path, cipher::asText(oldPassword.value()), cipher::asText(newPassword.value()), environment) &&
            allDone;
    }
    return allDone ? exitSuccess : exitFailure;
}

} // namespace cli
