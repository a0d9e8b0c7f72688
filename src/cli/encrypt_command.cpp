#include "cli/commands.h"

#include "cli/command_support.h"
#include "cli/mapped_file.h"
#include "cli/standard_output.h"

#include "cipher/encoding/utf8.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/stream/note_stream.h"
#include "cipher/stream/stream_encryptor.h"

#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>

namespace cli {
namespace {

std::string notTextLine(const std::string& name, std::string_view outcome = "nothing written") {
    return name + ": not UTF-8 text, which a note must be; " + std::string(outcome);
}

/// The note to encrypt when it is held: a file is mapped rather than read, so that a large note is neither copied
/// nor wiped afterwards; anything else is read whole, up to the first byte that is not text.
struct NoteSource {
    std::optional<MappedFile> mapped;
    cipher::SecureBytes content;
    [[nodiscard]] std::string_view text() const { return mapped ? mapped->text() : cipher::asText(content); }
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

/// Encrypts the note into the output file: the save checks the text as it encrypts it and replaces nothing when it
/// is not UTF-8, so a large note is read only once.
int encryptIntoFile(const Command& command, std::string_view text, std::string_view key,
                    const Environment& environment) {
    const cipher::Result<cipher::Done> saved = cipher::saveEncryptedText(
        command.output, text, key, cipher::noteIv, environment.trace, environment.log, *environment.fileOps);
    if (saved) {
        return exitSuccess;
    }
    report(environment, saved.failure().cause == cipher::FailureCause::notText
                            ? notTextLine(displayName(command.input))
                            : writeFailure(command.output, saved.failure()));
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
/// trace's lines come first then, so the file text is written once it is all made. Failures are reported.
int writeFileText(cipher::NoteEncryptor& encryptor, const std::string& name, NoteSource& source,
                  const Environment& environment, StandardOutput& output) {
    const bool traced = environment.trace.enabled();
    std::string held;
    for (;;) {
        const cipher::Result<std::string_view> piece = encryptor.next();
        if (!piece) {
            output.takeBack();
            reportUnencrypted(piece.failure().cause, 0, name, traced || output.canTakeBack(), environment);
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
        if (source.mapped) {
            source.mapped->reached(encryptor.plainBytesDone());
        }
    }
}

/// Encrypts the note onto the environment's output. Where that can be taken back, the text is checked as it goes;
/// elsewhere (and for the trace, which tells only of a note that is text) all of it is checked first, while the
/// cipher gets going on a second thread. Nothing is read back, so this thread also does the Base64 and leaves AES
/// alone on the cipher's.
int encryptToOutput(const Command& command, NoteSource& source, std::string_view key, const Environment& environment,
                    StandardOutput& output) {
    const std::string name = displayName(command.input);
    const std::string_view text = source.text();
    const bool checkFirst = environment.trace.enabled() || !output.canTakeBack();
    cipher::TracedStages stages(environment.trace);
    using Encryptor = cipher::NoteEncryptor;
    std::optional<Encryptor> encryptor = Encryptor::make(
        text, cipher::NoteFormat(key, stages.observer()),
        checkFirst ? Encryptor::Check::doneByCaller : Encryptor::Check::asItGoes, Encryptor::Encode::byCaller);
    if (checkFirst && !cipher::isWellFormedUtf8(text)) {
        report(environment, notTextLine(name));
        return exitFailure;
    }
    if (environment.trace.enabled()) {
        stages.input(text);
    }
    if (!encryptor) {
        report(environment, name + ": could not be encrypted; nothing written");
        return exitFailure;
    }
    return writeFileText(*encryptor, name, source, environment, output);
}

/// Encrypts a note that is not mapped (from a pipe, a terminal) into the output file as it is read, never holding
/// it: the file is replaced only once all of it is encrypted and read back.
int encryptStreamedIntoFile(const Command& command, int fd, std::string_view key, const Environment& environment) {
    DescriptorSource source(fd);
    const cipher::Result<cipher::Done> saved = cipher::saveEncryptedStream(
        command.output, source, cipher::NoteFormat(key), environment.log, *environment.fileOps);
    if (saved) {
        return exitSuccess;
    }
    const std::string name = displayName(command.input);
    if (source.error() != 0) {
        report(environment, name + ": cannot be read: " + readCause(source.error()));
    } else {
        report(environment, saved.failure().cause == cipher::FailureCause::notText
                                ? notTextLine(name)
                                : writeFailure(command.output, saved.failure()));
    }
    return exitFailure;
}

/// Encrypts a note that is not mapped onto the output as it is read, never holding it, so that an endless stream
/// runs in constant memory. On a failure what can be taken back is; on a stream the rest is said to be incomplete.
int encryptStreamedToOutput(const Command& command, int fd, std::string_view key, const Environment& environment,
                            StandardOutput& output) {
    const std::string name = displayName(command.input);
    DescriptorSource source(fd);
    std::optional<cipher::StreamEncryptor> encryptor = cipher::StreamEncryptor::make(source, cipher::NoteFormat(key));
    if (!encryptor) {
        report(environment, name + ": could not be encrypted; nothing written");
        return exitFailure;
    }
    bool written = false;
    for (;;) {
        const cipher::Result<std::string_view> piece = encryptor->next();
        if (!piece) {
            output.takeBack();
            reportUnencrypted(piece.failure().cause, source.error(), name, !written || output.canTakeBack(),
                              environment);
            return exitFailure;
        }
        if (piece.value().empty()) {
            return endLine(output, environment) && output.finish() ? exitSuccess : exitFailure;
        }
        if (!output.write(piece.value())) {
            output.takeBack();
            return exitFailure;
        }
        written = true;
    }
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
        return output ? encryptStreamedToOutput(command, fd, key, environment, *output)
                      : encryptStreamedIntoFile(command, fd, key, environment);
    }
    if (!source.mapped && !readNote(command, fd, environment, source)) {
        return exitFailure;
    }
    return output ? encryptToOutput(command, source, key, environment, *output)
                  : encryptIntoFile(command, source.text(), key, environment);
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
