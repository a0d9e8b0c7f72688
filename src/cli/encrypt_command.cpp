#include "cli/commands.h"

#include "cli/command_support.h"
#include "cli/input.h"
#include "cli/mapped_file.h"
#include "cli/standard_output.h"

#include "cipher/encoding/utf8.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/stream/note_stream.h"

#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>

namespace cli {
namespace {

std::string notTextLine(const std::string& name, std::string_view outcome = "nothing written") {
    return name + ": not UTF-8 text, which a note must be; " + std::string(outcome);
}

/// The note to encrypt. When it is held, a file is mapped rather than read, so that a large note is neither copied
/// nor wiped afterwards; anything else is read whole, up to the first byte that is not text. Otherwise it is
/// encrypted as it is read.
struct NoteSource {
    std::optional<MappedFile> mapped;
    cipher::SecureBytes content;
    std::optional<cipher::TextSource> held;
    std::optional<DescriptorSource> stream;
    [[nodiscard]] std::string_view text() const { return mapped ? mapped->text() : cipher::asText(content); }
    [[nodiscard]] cipher::PieceSource& pieces() { return held ? static_cast<cipher::PieceSource&>(*held) : *stream; }
    [[nodiscard]] int readError() const { return stream ? stream->error() : 0; }
};

/// Reads the note whole into the source; false, reported, when it cannot be read or is not text.
bool readNote(const Command& command, int fd, const Environment& environment, NoteSource& source) {
    const ReadEnd end = readInto(fd, source.content, noReadLimit, true);
    if (end.error == 0 && !end.notText) {
        return true;
    }
    const std::string name = displayName(command.input);
    report(environment, end.notText ? notTextLine(name) : name + ": cannot be read: " + readCause(end.error));
    return false;
}

/// Encrypts the note into the output file, as it is read when it is not held: the save checks the text as it
/// encrypts it and replaces nothing when it is not UTF-8, so a large note is read only once and one from a pipe is
/// never held whole.
int encryptIntoFile(const Command& command, NoteSource& source, std::string_view key, const Environment& environment) {
    const cipher::Result<cipher::Done> saved =
        cipher::saveEncryptedStream(command.output, source.pieces(), cipher::TracedFormat(key, environment.trace),
                                    environment.log, *environment.fileOps);
    if (saved) {
        return exitSuccess;
    }
    const std::string name = displayName(command.input);
    if (source.readError() != 0) {
        report(environment, name + ": cannot be read: " + readCause(source.readError()));
    } else {
        report(environment, saved.failure().cause == cipher::FailureCause::notText
                                ? notTextLine(name)
                                : writeFailure(command.output, saved.failure()));
    }
    return exitFailure;
}

/// Ends the file text with a line break on a terminal, where the shell's prompt would otherwise join its last line;
/// a file or a pipe gets the file text exactly.
bool endLine(StandardOutput& output, const Environment& environment) {
    return ::isatty(::fileno(environment.output)) == 0 || output.write("\n");
}

/// Says why the encryptor gave no more file text: the note is not text, the input could not be read (readError,
/// else 0) or the cipher failed; and whether any of it is left on the output, which the caller has taken back.
void reportUnencrypted(cipher::FailureCause cause, int readError, const std::string& name, bool nothingLeft,
                       const Environment& environment) {
    const std::string outcome = nothingLeft ? "nothing written" : "the output is incomplete";
    if (cause == cipher::FailureCause::notText) {
        report(environment, notTextLine(name, outcome));
    } else if (readError != 0) {
        report(environment,
               name + ": cannot be read: " + readCause(readError) + (nothingLeft ? "" : "; the output is incomplete"));
    } else {
        report(environment, name + ": could not be encrypted; " + outcome);
    }
}

/// Writes the encryptor's file text onto the output as it is made, never held whole, unless the trace is on: the
/// trace's lines come first then, so the file text is written once it is all made. On a failure what can be taken
/// back is; on a stream the rest is said to be incomplete. Failures are reported.
int writeFileText(cipher::NoteEncryptor& encryptor, const std::string& name, NoteSource& source,
                  const Environment& environment, StandardOutput& output) {
    const bool traced = environment.trace.enabled();
    std::string held;
    bool written = false;
    for (;;) {
        const cipher::Result<std::string_view> piece = encryptor.next();
        if (!piece) {
            output.takeBack();
            reportUnencrypted(piece.failure().cause, source.readError(), name, !written || output.canTakeBack(),
                              environment);
            return exitFailure;
        }
        if (piece.value().empty()) {
            return (held.empty() || output.write(held)) && endLine(output, environment) && output.finish()
                       ? exitSuccess
                       : exitFailure;
        }
        if (traced) {
            held.append(piece.value());
        } else if (!output.write(piece.value())) {
            output.takeBack();
            return exitFailure;
        }
        written = !traced;
        if (source.mapped) {
            source.mapped->reached(encryptor.plainBytesDone());
        }
    }
}

/// Encrypts the note onto the environment's output. A note that is not held is encrypted as it is read, never held,
/// so that an endless stream runs in constant memory. Of a held note, where the output can be taken back, the text
/// is checked as it goes; elsewhere (and for the trace, which tells only of a note that is text) all of it is
/// checked first, while the cipher gets going on a second thread. Nothing is read back, so this thread also does
/// the Base64 and leaves AES alone on the cipher's.
int encryptToOutput(const Command& command, NoteSource& source, std::string_view key, const Environment& environment,
                    StandardOutput& output) {
    const std::string name = displayName(command.input);
    const std::string_view text = source.text();
    const bool checkFirst = source.held && (environment.trace.enabled() || !output.canTakeBack());
    using Sharing = cipher::NoteEncryptor::Sharing;
    const cipher::TracedFormat format(key, environment.trace);
    std::optional<cipher::NoteEncryptor> encryptor = cipher::NoteEncryptor::make(
        source.pieces(), format, checkFirst ? Sharing::encodeHereChecked : Sharing::encodeHere);
    if (checkFirst && !cipher::isWellFormedUtf8(text)) {
        report(environment, notTextLine(name));
        return exitFailure;
    }
    if (cipher::StageObserver* observer = format.observer()) {
        observer->encryptionStarted(text);
    }
    if (!encryptor) {
        report(environment, name + ": could not be encrypted; nothing written");
        return exitFailure;
    }
    return writeFileText(*encryptor, name, source, environment, output);
}

/// Encrypts the note from the open input, unless the output is that input. A mapped file, and a note the trace
/// tells of, are held; any other input is encrypted as it is read, except onto the middle of a file, where
/// nothing may be written before all of the note is known to be text.
int encryptFrom(const Command& command, int fd, std::string_view key, const Environment& environment) {
    if (writesOverItsInput(command, fd, environment)) {
        return exitFailure;
    }
    NoteSource source;
    if (std::optional<MappedFile> mapped = MappedFile::map(fd)) {
        source.mapped.emplace(std::move(*mapped));
    }
    std::optional<StandardOutput> output;
    if (command.output.empty()) {
        output.emplace(environment.output, environment.errors);
    }
    if (!source.mapped && !environment.trace.enabled() && (!output || output->canTakeBack() || output->isStream())) {
        source.stream.emplace(fd);
    } else if (source.mapped || readNote(command, fd, environment, source)) {
        source.held.emplace(source.text());
    } else {
        return exitFailure;
    }
    return output ? encryptToOutput(command, source, key, environment, *output)
                  : encryptIntoFile(command, source, key, environment);
}

} // namespace

int encryptNote(const Command& command, const Environment& environment) {
    // What would make the run fail anyway comes first: the empty password is not worth a warning then.
    if (refusesReadOnlyOutput(command.output, environment)) {
        return exitFailure;
    }
    const int fd = openSource(command.input, environment);
    if (fd < 0) {
        return exitFailure;
    }
    const Outcome<cipher::SecureBytes> password =
        obtainPassword(command.passwordFile, environment, "Password: ", "Repeat password: ");
    if (!password) {
        report(environment, password.failure().message);
        closeSource(command.input, fd);
        return exitFailure;
    }
    warnIfEmpty(password.value(), environment);
    const int status = encryptFrom(command, fd, cipher::asText(password.value()), environment);
    closeSource(command.input, fd);
    return status;
}

} // namespace cli
