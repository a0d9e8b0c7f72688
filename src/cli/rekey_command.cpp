#include "cli/commands.h"

#include "cli/command_support.h"

#include "cipher/files/file_io.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/stream/note_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

namespace cli {
namespace {

constexpr std::size_t comparePiece = std::size_t{1} << 20;

bool sameTime(const timespec& a, const timespec& b) noexcept {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

/// Whether the note at path is still the one read: the same file, size and times, and the same bytes.
bool stillAsRead(const std::string& path, const struct stat& read, std::string_view content) {
    struct stat now {};
    if (::stat(path.c_str(), &now) != 0 || now.st_dev != read.st_dev || now.st_ino != read.st_ino ||
        now.st_size != read.st_size || !sameTime(now.st_mtim, read.st_mtim) || !sameTime(now.st_ctim, read.st_ctim)) {
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const std::unique_ptr<char[]> piece(new char[comparePiece]);
    bool same = true;
    for (std::size_t at = 0; same;) {
        const ssize_t got = cipher::readRetrying(fd, piece.get(), comparePiece);
        if (got <= 0) {
            same = got == 0 && at == content.size();
            break;
        }
        const auto size = static_cast<std::size_t>(got);
        same = size <= content.size() - at && content.compare(at, size, piece.get(), size) == 0;
        at += size;
    }
    ::close(fd);
    return same;
}

/// Re-encrypts one note in place; false, with the reason reported, when it is left as it was.
bool rekeyNote(const std::string& path, std::string_view oldPassword, const cipher::SecureBytes& newPassword,
               const Environment& environment, bool& warned) {
    if (refusesReadOnlyOutput(path, environment)) {
        return false;
    }
    // Only a regular file: a note is rewritten in place, and a pipe or device would be read for ever.
    const Outcome<int> opened = openInput(path, InputKinds::regularOnly);
    struct stat read {};
    if (!opened || ::fstat(opened.value(), &read) != 0) {
        report(environment, displayName(path) + ": cannot be read: " +
                                (opened ? readCause(errno) : opened.failure().message) + "; left unchanged");
        if (opened) {
            ::close(opened.value());
        }
        return false;
    }
    cipher::SecureBytes content;
    const ReadEnd end = readInto(opened.value(), content, noReadLimit, true);
    ::close(opened.value());
    if (end.error != 0) {
        report(environment, displayName(path) + ": cannot be read: " + readCause(end.error) + "; left unchanged");
        return false;
    }
    const std::string_view fileText = cipher::asText(content);
    cipher::Result<std::string> note =
        end.notText ? cipher::Failure{cipher::FailureCause::notANote}
                    : cipher::decryptWhole(fileText, cipher::TracedFormat(oldPassword, environment.trace));
    if (!note) {
        report(environment, displayName(path) + ": " + causeWords(note.failure()) + "; left unchanged");
        return false;
    }
    const WipeOnExit wipe{note.value()};
    // Only once a note is about to be written under it: a run that writes nothing has nothing to warn of.
    if (!warned) {
        warnIfEmpty(newPassword, environment);
        warned = true;
    }
    // Another writer (encrypt -o, the editor) may have put a new note in place since it was read; the lock the save
    // holds keeps any other from doing so between this check and the rename.
    const auto unchanged = [&]() -> cipher::Result<cipher::Done> {
        if (stillAsRead(path, read, fileText)) {
            return cipher::Done{};
        }
        return cipher::Failure{cipher::FailureCause::changedMeanwhile};
    };
    const cipher::Result<cipher::Done> saved = cipher::saveEncryptedText(
        path, note.value(), cipher::TracedFormat(cipher::asText(newPassword), environment.trace), environment.log,
        *environment.fileOps, unchanged);
    if (!saved) {
        report(environment, saved.failure().cause == cipher::FailureCause::changedMeanwhile
                                ? displayName(path) +
                                      ": was changed by another program while it was being re-encrypted; left as "
                                      "that program wrote it"
                                : writeFailure(path, saved.failure()));
        return false;
    }
    return true;
}

} // namespace

int rekeyNotes(const Command& command, const Environment& environment) {
    const Outcome<cipher::SecureBytes> oldPassword =
        obtainPassword(command.oldPasswordFile, environment, "Old password: ");
    if (!oldPassword) {
        report(environment, oldPassword.failure().message + "; no note changed");
        return exitFailure;
    }
    const Outcome<cipher::SecureBytes> newPassword =
        obtainPassword(command.newPasswordFile, environment, "New password: ", "Repeat new password: ");
    if (!newPassword) {
        report(environment, newPassword.failure().message + "; no note changed");
        return exitFailure;
    }
    bool allDone = true;
    bool warned = false;
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
            rekeyNote(path, cipher::asText(oldPassword.value()), newPassword.value(), environment, warned) && allDone;
    }
    return allDone ? exitSuccess : exitFailure;
}

} // namespace cli
