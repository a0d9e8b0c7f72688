#include "cli/run.h"

#include "cli/mapped_file.h"
#include "cli/standard_output.h"

#include "cipher/bytes.h"
#include "cipher/decrypted_content.h"
#include "cipher/file_io.h"
#include "cipher/note_cipher.h"
#include "cipher/note_file.h"
#include "cipher/note_stream.h"
#include "cipher/result.h"
#include "cipher/utf8.h"

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace cli {
namespace {

// When the size is not known in advance (a pipe), the buffer starts at this and doubles, so that a 100 MiB note
// is moved only a few times.
constexpr std::size_t readChunk = std::size_t{1} << 20;
constexpr std::string_view standardInputName = "standard input";
constexpr std::string_view wrongPassword = "wrong password or damaged file";

void report(const Environment& environment, std::string_view message) {
    std::string line = "vellumpad-cli: ";
    line += message;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), environment.errors);
    std::fflush(environment.errors);
}

/// Said before a note is encrypted under the empty password, which the file format allows but protects nothing.
void warnIfEmpty(const cipher::SecureBytes& password, const Environment& environment) {
    if (password.empty()) {
        report(environment, "warning: no password is set; anyone with the file can read it");
    }
}

std::string displayName(const std::string& path) {
    return path.empty() ? std::string(standardInputName) : path;
}

/// The line for a note that does not decrypt whole and clean.
cipher::Failure refusedNote(const std::string& path) {
    return cipher::Failure{displayName(path) + ": " + std::string(wrongPassword) + "; nothing written"};
}

/// The line for an output file that could not be written; the writer keeps its earlier content.
std::string writeFailure(const std::string& path, const cipher::Failure& failure) {
    return failure.cause.empty() ? failure.message : path + ": cannot be written: " + failure.cause;
}

std::string readCause(int error) {
    return error == ENOENT ? "no such file" : cipher::describeFileError(error);
}

/// Reads everything the descriptor holds into bytes that are wiped on release; the errno on failure, else 0.
int readAll(int fd, cipher::SecureBytes& into) {
    struct stat info {};
    const bool knownSize = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    // One byte beyond a known size lets the end be seen without growing the buffer.
    into.resize(knownSize ? static_cast<std::size_t>(info.st_size) + 1 : readChunk);
    std::size_t used = 0;
    for (;;) {
        if (used == into.size()) {
            into.resize(into.size() * 2);
        }
        const ssize_t got = ::read(fd, into.data() + used, std::min(into.size() - used, readChunk));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    into.resize(used);
    return 0;
}

/// The whole content of the named file, or of the environment's input when the name is empty. Pipes and
/// devices are read too, so that a password can come from a process substitution.
cipher::Result<cipher::SecureBytes> readSource(const std::string& path, const Environment& environment) {
    cipher::SecureBytes content;
    int error = 0;
    if (path.empty()) {
        error = readAll(environment.input, content);
    } else {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = errno;
        } else {
            error = readAll(fd, content);
            ::close(fd);
        }
    }
    if (error != 0) {
        return cipher::Failure{displayName(path) + ": cannot be read: " + readCause(error)};
    }
    return content;
}

/// The password from the file (less one trailing LF or CR LF), or else the one the editor stores.
cipher::Result<cipher::SecureBytes> loadPassword(const std::string& passwordFile, const Environment& environment) {
    if (passwordFile.empty()) {
        const QByteArray stored = environment.preferences.stringForKey(QString::fromLatin1(platform::passwordKey))
                                      .value_or(QString())
                                      .toUtf8();
        return cipher::SecureBytes(stored.begin(), stored.end());
    }
    cipher::Result<cipher::SecureBytes> content = readSource(passwordFile, environment);
    if (!content) {
        return content;
    }
    cipher::SecureBytes& password = content.value();
    if (!password.empty() && password.back() == '\n') {
        password.pop_back();
        if (!password.empty() && password.back() == '\r') {
            password.pop_back();
        }
    }
    if (!cipher::isWellFormedUtf8(cipher::asText(password))) {
        return cipher::Failure{passwordFile + ": the password in it is not UTF-8 text"};
    }
    return content;
}

/// The password from the file, else typed at the terminal when there is one (asked twice with a repeat prompt, for
/// a password being set), else the one the editor stores.
cipher::Result<cipher::SecureBytes> obtainPassword(const std::string& passwordFile, const Environment& environment,
                                                   std::string_view prompt, std::string_view repeatPrompt = {}) {
    if (passwordFile.empty() && environment.terminal != nullptr) {
        return environment.terminal->ask(prompt, repeatPrompt);
    }
    return loadPassword(passwordFile, environment);
}

/// Writes the text to the file atomically, or to the environment's output when the name is empty.
bool writeResult(const std::string& path, std::string_view text, const Environment& environment) {
    if (path.empty()) {
        StandardOutput output(environment.output, environment.errors);
        return output.write(text) && output.finish();
    }
    const cipher::Result<cipher::Done> saved = cipher::writeFileAtomically(path, text, {}, *environment.fileOps);
    if (!saved) {
        report(environment, writeFailure(path, saved.failure()));
    }
    return saved.ok();
}

/// Wipes a decrypted note once it is no longer needed.
/// The descriptor to read a note from: the named file, opened here, or the environment's input when the name is
/// empty; -1, reported, when the file cannot be opened.
int openSource(const std::string& path, const Environment& environment) {
    const int fd = path.empty() ? environment.input : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        report(environment, displayName(path) + ": cannot be read: " + readCause(errno));
    }
    return fd;
}

struct WipeOnExit {
    std::string& text;
    ~WipeOnExit() { cipher::cleanse(text.data(), text.size()); }
};

int encryptNote(const Command& command, const Environment& environment) {
    const cipher::Result<cipher::SecureBytes> password =
        obtainPassword(command.passwordFile, environment, "Password: ", "Repeat password: ");
    if (!password) {
        report(environment, password.failure().message);
        return exitFailure;
    }
    warnIfEmpty(password.value(), environment);
    const std::string name = displayName(command.input);
    const int fd = openSource(command.input, environment);
    if (fd < 0) {
        return exitFailure;
    }
    // A file is mapped rather than read: a large note is then neither copied nor wiped afterwards. Pipes and
    // devices are read whole.
    std::optional<MappedFile> mapped = MappedFile::map(fd);
    cipher::SecureBytes content;
    const int error = mapped ? 0 : readAll(fd, content);
    if (!command.input.empty()) {
        ::close(fd);
    }
    if (error != 0) {
        report(environment, name + ": cannot be read: " + readCause(error));
        return exitFailure;
    }
    const std::string_view text = mapped ? mapped->text() : cipher::asText(content);
    const std::string_view key = cipher::asText(password.value());
    const std::string notText = name + ": not UTF-8 text, which a note must be; nothing written";
    if (!command.output.empty()) {
        // The save checks the text as it encrypts it and replaces nothing when it is not UTF-8, so a large note
        // is read only once.
        const cipher::Result<cipher::Done> saved = cipher::saveEncryptedText(
            command.output, text, key, cipher::noteIv, environment.trace, environment.log, *environment.fileOps);
        if (!saved) {
            report(environment,
                   cipher::isWellFormedUtf8(text) ? writeFailure(command.output, saved.failure()) : notText);
            return exitFailure;
        }
        return exitSuccess;
    }
    if (environment.trace.enabled()) {
        // The trace shows each step of a whole encryption.
        if (!cipher::isWellFormedUtf8(text)) {
            report(environment, notText);
            return exitFailure;
        }
        const std::optional<std::string> fileText =
            cipher::encrypt(text, key, cipher::noteIv, environment.trace, environment.log);
        if (!fileText) {
            report(environment, name + ": could not be encrypted; nothing written");
            return exitFailure;
        }
        return writeResult({}, *fileText, environment) ? exitSuccess : exitFailure;
    }
    // The file text is written as it is made, never held whole. Where that can be taken back, the text is checked
    // as it goes; elsewhere all of it is checked first, while the cipher gets going on a second thread. Nothing is
    // read back, so this thread also does the Base64 and leaves AES alone on the cipher's.
    StandardOutput output(environment.output, environment.errors);
    using Check = cipher::NoteEncryptor::Check;
    std::optional<cipher::NoteEncryptor> encryptor = cipher::NoteEncryptor::make(
        text, key, cipher::noteIv, output.canTakeBack() ? Check::asItGoes : Check::doneByCaller,
        cipher::NoteEncryptor::Encode::byCaller);
    if (!output.canTakeBack() && !cipher::isWellFormedUtf8(text)) {
        report(environment, notText);
        return exitFailure;
    }
    if (!encryptor) {
        report(environment, name + ": could not be encrypted; nothing written");
        return exitFailure;
    }
    for (;;) {
        const std::optional<std::string_view> piece = encryptor->next();
        if (!piece) {
            output.takeBack();
            const std::string outcome = output.canTakeBack() ? "nothing written" : "the output is incomplete";
            report(environment,
                   cipher::isWellFormedUtf8(text) ? name + ": could not be encrypted; " + outcome : notText);
            return exitFailure;
        }
        if (piece->empty()) {
            return output.finish() ? exitSuccess : exitFailure;
        }
        if (!output.write(*piece)) {
            output.takeBack();
            return exitFailure;
        }
        if (mapped) {
            mapped->reached(encryptor->plainBytesDone());
        }
    }
}

/// The note read from the descriptor (opened for the named file, or the environment's input when the name is
/// empty, and closed here if opened), decrypted a piece at a time as it is read so that the file text is never
/// held whole; the failure is the line to report.
cipher::Result<std::string> decryptSource(const std::string& path, int fd, std::string_view password) {
    const cipher::Failure refused = refusedNote(path);
    struct stat info {};
    const bool knownSize = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    std::optional<cipher::NoteOpener> opener =
        cipher::NoteOpener::make(password, cipher::noteIv, knownSize ? static_cast<std::size_t>(info.st_size) : 0);
    const std::unique_ptr<char[]> piece(new char[readChunk]);
    int error = 0;
    bool accepted = opener.has_value();
    while (accepted) {
        const ssize_t got = ::read(fd, piece.get(), readChunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        accepted = opener->feed(std::string_view(piece.get(), static_cast<std::size_t>(got)));
    }
    if (!path.empty()) {
        ::close(fd);
    }
    if (error != 0) {
        return cipher::Failure{displayName(path) + ": cannot be read: " + readCause(error)};
    }
    if (!accepted) {
        return refused;
    }
    cipher::Result<std::string> note = opener->finish();
    return note ? std::move(note) : cipher::Result<std::string>(refused);
}

/// Decrypts a mapped note file a piece at a time, never holding the note whole: into the output file, which is
/// replaced only when all of it decrypts, or onto the environment's output, where nothing may remain unless all of
/// it decrypts. The failure is the line to report, or empty when it has been reported.
cipher::Result<cipher::Done> decryptMapped(const Command& command, std::string_view fileText, std::string_view password,
                                           const Environment& environment) {
    const cipher::Failure refused = refusedNote(command.input);
    std::optional<cipher::DecryptedContent> content =
        cipher::DecryptedContent::make(fileText, password, cipher::noteIv);
    if (!content) {
        return refused;
    }
    if (!command.output.empty()) {
        const cipher::Result<cipher::Done> saved =
            cipher::writeFileAtomically(command.output, *content, *environment.fileOps);
        if (saved) {
            return saved;
        }
        return content->refused() ? refused : cipher::Failure{writeFailure(command.output, saved.failure())};
    }
    StandardOutput output(environment.output, environment.errors);
    if (output.canTakeBack()) {
        // Written as it is decrypted, and taken back should the rest turn out not to be a note.
        for (;;) {
            const cipher::Result<std::string_view> piece = content->nextPiece();
            if (piece && piece.value().empty()) {
                return output.finish() ? cipher::Result<cipher::Done>(cipher::Done{}) : cipher::Failure{};
            }
            if (!piece || !output.write(piece.value())) {
                output.takeBack();
                return piece ? cipher::Failure{} : refused;
            }
        }
    }
    // Nothing may appear unless all of it decrypts: it is decrypted twice, first to check, then to write.
    // Decryption is quick beside the writing; a second thread to overlap the two did not pay.
    std::optional<cipher::DecryptedContent> again = cipher::DecryptedContent::make(fileText, password, cipher::noteIv);
    for (;;) {
        const cipher::Result<std::string_view> piece = content->nextPiece();
        if (!piece || !again) {
            return refused;
        }
        if (piece.value().empty()) {
            break;
        }
    }
    for (;;) {
        const cipher::Result<std::string_view> piece = again->nextPiece();
        if (!piece) {
            // It decrypted a moment ago: the file was changed meanwhile.
            return cipher::Failure{displayName(command.input) +
                                   ": changed while it was being read; standard output is incomplete"};
        }
        if (piece.value().empty()) {
            return output.finish() ? cipher::Result<cipher::Done>(cipher::Done{}) : cipher::Failure{};
        }
        if (!output.write(piece.value())) {
            return cipher::Failure{};
        }
    }
}

int decryptNote(const Command& command, const Environment& environment) {
    const cipher::Result<cipher::SecureBytes> password =
        obtainPassword(command.passwordFile, environment, "Password: ");
    if (!password) {
        report(environment, password.failure().message);
        return exitFailure;
    }
    const std::string_view key = cipher::asText(password.value());
    cipher::Result<std::string> note = cipher::Failure{};
    if (environment.trace.enabled()) {
        // The trace shows the whole ciphertext, so the file text is read whole first.
        const cipher::Result<cipher::SecureBytes> input = readSource(command.input, environment);
        if (!input) {
            report(environment, input.failure().message);
            return exitFailure;
        }
        note = cipher::decryptWhole(cipher::asText(input.value()), key, cipher::noteIv, environment.trace);
        if (!note) {
            note = refusedNote(command.input);
        }
    } else {
        const int fd = openSource(command.input, environment);
        if (fd < 0) {
            return exitFailure;
        }
        // A file is mapped rather than read, so that it is never copied; a pipe is decrypted as it is read.
        const std::optional<MappedFile> mapped = MappedFile::map(fd);
        if (mapped) {
            if (!command.input.empty()) {
                ::close(fd);
            }
            const cipher::Result<cipher::Done> done = decryptMapped(command, mapped->text(), key, environment);
            if (!done && !done.failure().message.empty()) {
                report(environment, done.failure().message);
            }
            return done ? exitSuccess : exitFailure;
        }
        note = decryptSource(command.input, fd, key);
    }
    if (!note) {
        report(environment, note.failure().message);
        return exitFailure;
    }
    const WipeOnExit wipe{note.value()};
    return writeResult(command.output, note.value(), environment) ? exitSuccess : exitFailure;
}

/// Re-encrypts one note in place; false, with the reason reported, when it is left as it was.
bool rekeyNote(const std::string& path, std::string_view oldPassword, std::string_view newPassword,
               const Environment& environment) {
    const cipher::Result<cipher::SecureBytes> content = readSource(path, environment);
    if (!content) {
        report(environment, content.failure().message + "; left unchanged");
        return false;
    }
    cipher::Result<std::string> note =
        cipher::decryptWhole(cipher::asText(content.value()), oldPassword, cipher::noteIv, environment.trace);
    if (!note) {
        report(environment, path + ": " + std::string(wrongPassword) + "; left unchanged");
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

} // namespace

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
