#include "cli/run.h"

#include "cli/input.h"
#include "cli/mapped_file.h"
#include "cli/quoted_name.h"
#include "cli/standard_output.h"

#include "cipher/base/bytes.h"
#include "cipher/base/result.h"
#include "cipher/encoding/utf8.h"
#include "cipher/files/file_io.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/stream/decrypted_content.h"
#include "cipher/stream/note_stream.h"
#include "cipher/stream/stream_encryptor.h"

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace cli {
namespace {

// A pipe is read and decrypted in pieces of this size.
constexpr std::size_t pipePiece = std::size_t{1} << 20;
constexpr std::string_view standardInputName = "standard input";

void report(const Environment& environment, std::string_view message) {
    std::string line = "vellumpad-cli: ";
    // Names are quoted where they are put in; a control character that still got here (a name inside a message
    // from the core) is shown as '?', as ls shows it, never sent to the terminal.
    std::transform(message.begin(), message.end(), std::back_inserter(line),
                   [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c; });
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
    return path.empty() ? std::string(standardInputName) : quotedName(path);
}

/// The line for a note that does not decrypt whole and clean.
cipher::Failure refusedNote(const std::string& path) {
    return cipher::Failure{displayName(path) + ": " + std::string(cipher::wrongPasswordOrDamagedWords) +
                           "; nothing written"};
}

/// What may be read from an input, and how much.
struct SourceRules {
    std::optional<InputKinds> kinds; ///< no value: any kind that can be read (a password from /dev/stdin, say)
    std::size_t limit = noReadLimit;
    bool textOnly = false;
};

/// The whole content of the named file, or of the environment's input when the name is empty, read by the rules.
/// The failure is the line to report for a file that cannot be read; a limit passed or a text that is not UTF-8 is
/// told by the read's end.
cipher::Result<cipher::SecureBytes> readSource(const std::string& path, const Environment& environment,
                                               const SourceRules& rules, ReadEnd& end) {
    int fd = environment.input;
    if (!path.empty() && rules.kinds) {
        const cipher::Result<int> opened = openInput(path, *rules.kinds);
        if (!opened) {
            return cipher::Failure{displayName(path) + ": cannot be read: " + opened.failure().message};
        }
        fd = opened.value();
    } else if (!path.empty() && (fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        return cipher::Failure{displayName(path) + ": cannot be read: " + readCause(errno)};
    }
    cipher::SecureBytes content;
    end = readInto(fd, content, rules.limit, rules.textOnly);
    if (!path.empty()) {
        ::close(fd);
    }
    if (end.error != 0) {
        return cipher::Failure{displayName(path) + ": cannot be read: " + readCause(end.error)};
    }
    return content;
}

/// The password from the file (less one trailing LF or CR LF), or else the one the editor stores.
cipher::Result<cipher::SecureBytes> loadPassword(const std::string& passwordFile, const Environment& environment) {
    if (passwordFile.empty()) {
        const std::optional<QByteArray> stored = platform::storedPasswordUtf8(environment.preferences);
        if (!stored) {
            // Read as the empty password, or with '?' for what is not text, it would key the note by a password
            // nobody chose.
            return cipher::Failure{"the stored password is unusable: it is not valid text (was the preferences file "
                                   "edited by hand, or can it not be read?); set it again in the editor or use "
                                   "--password-file"};
        }
        return cipher::SecureBytes(stored->begin(), stored->end());
    }
    ReadEnd end;
    cipher::Result<cipher::SecureBytes> content = readSource(
        passwordFile, environment, {.kinds = std::nullopt, .limit = maxPasswordFileBytes, .textOnly = false}, end);
    if (!content) {
        return content;
    }
    if (end.tooLarge) {
        return cipher::Failure{quotedName(passwordFile) + ": larger than 64 KiB, which no password file is"};
    }
    cipher::SecureBytes& password = content.value();
    if (!password.empty() && password.back() == '\n') {
        password.pop_back();
        if (!password.empty() && password.back() == '\r') {
            password.pop_back();
        }
    }
    if (!cipher::isWellFormedUtf8(cipher::asText(password))) {
        return cipher::Failure{quotedName(passwordFile) + ": the password in it is not UTF-8 text"};
    }
    return content;
}

/// The line for an output file that could not be written; the writer keeps its earlier content.
std::string writeFailure(const std::string& path, const cipher::Failure& failure) {
    // Every failure of a write names its cause, so the file can be named the way the tool names files.
    return quotedName(path) + ": cannot be written: " + failure.causeWords;
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

/// The descriptor to read a note from: the named file (a regular file or a pipe), opened here, or the
/// environment's input when the name is empty; -1, reported, when the file cannot be opened or is of another kind.
int openSource(const std::string& path, const Environment& environment) {
    if (path.empty()) {
        return environment.input;
    }
    const cipher::Result<int> fd = openInput(path, InputKinds::regularOrPipe);
    if (!fd) {
        report(environment, displayName(path) + ": cannot be read: " + fd.failure().message);
        return -1;
    }
    return fd.value();
}

/// Whether the command would write over its own input: the file named with -o, or standard output, is the input
/// file. Reported; nothing may be read or written then, as writing would destroy what is being read.
bool writesOverItsInput(const Command& command, int input, const Environment& environment) {
    const bool intoOutputFile = !command.output.empty() && isSameFile(input, command.output);
    if (!intoOutputFile && !isSameRegularFile(input, ::fileno(environment.output))) {
        return false;
    }
    const std::string output = intoOutputFile ? quotedName(command.output) : std::string("standard output");
    report(environment,
           displayName(command.input) + ": is the same file as the output, " + output + "; nothing written");
    return true;
}

/// Wipes a decrypted note once it is no longer needed.
struct WipeOnExit {
    std::string& text;
    ~WipeOnExit() { cipher::cleanse(text.data(), text.size()); }
};

std::string notTextLine(const std::string& name, std::string_view outcome = "nothing written") {
    return name + ": not UTF-8 text, which a note must be; " + std::string(outcome);
}

/// Closes a descriptor openSource opened; the environment's input stays open.
void closeSource(const std::string& path, int fd) {
    if (!path.empty()) {
        ::close(fd);
    }
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
    TemporaryNotingFileOps ops(*environment.fileOps);
    const cipher::Result<cipher::Done> saved =
        cipher::saveEncryptedText(command.output, text, key, cipher::noteIv, environment.trace, environment.log, ops);
    if (saved) {
        return exitSuccess;
    }
    report(environment, saved.failure().cause == cipher::FailureCause::notText
                            ? notTextLine(displayName(command.input))
                            : writeFailure(command.output, saved.failure()));
    return exitFailure;
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
        const std::optional<std::string_view> piece = encryptor.next();
        if (!piece) {
            output.takeBack();
            reportUnencrypted(encryptor.failureCause(), 0, name, traced || output.canTakeBack(), environment);
            return exitFailure;
        }
        if (piece->empty()) {
            return (held.empty() || output.write(held)) && output.finish() ? exitSuccess : exitFailure;
        }
        if (traced) {
            held.append(*piece);
        } else if (!output.write(*piece)) {
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
        text, key, cipher::noteIv, checkFirst ? Encryptor::Check::doneByCaller : Encryptor::Check::asItGoes,
        Encryptor::Encode::byCaller, stages.observer());
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
    const cipher::Result<cipher::Done> saved =
        cipher::saveEncryptedStream(command.output, source, key, cipher::noteIv, environment.log, *environment.fileOps);
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
    std::optional<cipher::StreamEncryptor> encryptor = cipher::StreamEncryptor::make(source, key, cipher::noteIv);
    if (!encryptor) {
        report(environment, name + ": could not be encrypted; nothing written");
        return exitFailure;
    }
    bool written = false;
    for (;;) {
        const std::optional<std::string_view> piece = encryptor->next();
        if (!piece) {
            output.takeBack();
            reportUnencrypted(encryptor->failureCause(), source.error(), name, !written || output.canTakeBack(),
                              environment);
            return exitFailure;
        }
        if (piece->empty()) {
            return output.finish() ? exitSuccess : exitFailure;
        }
        if (!output.write(*piece)) {
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

int encryptNote(const Command& command, const Environment& environment) {
    const cipher::Result<cipher::SecureBytes> password =
        obtainPassword(command.passwordFile, environment, "Password: ", "Repeat password: ");
    if (!password) {
        report(environment, password.failure().message);
        return exitFailure;
    }
    warnIfEmpty(password.value(), environment);
    const int fd = openSource(command.input, environment);
    if (fd < 0) {
        return exitFailure;
    }
    const int status = encryptFrom(command, fd, cipher::asText(password.value()), environment);
    closeSource(command.input, fd);
    return status;
}

/// The note read from the descriptor (the named file's, or the environment's input when the name is empty),
/// decrypted a piece at a time as it is read so that the file text is never held whole, and refused at the first
/// piece that shows it is no note; the failure is the line to report. The trace tells only of a file text that is
/// text all through, so with it on a refused one is still read to its end.
cipher::Result<std::string> decryptSource(const std::string& path, int fd, std::string_view password,
                                          const cipher::Trace& trace) {
    struct stat info {};
    const bool knownSize = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    cipher::TracedStages stages(trace);
    std::optional<cipher::NoteOpener> opener = cipher::NoteOpener::make(
        password, cipher::noteIv, knownSize ? static_cast<std::size_t>(info.st_size) : 0,
        trace.enabled() ? cipher::NoteOpener::Keep::wellFormedPrefix : cipher::NoteOpener::Keep::wholeNote,
        stages.observer());
    const std::unique_ptr<char[]> piece(new char[pipePiece]);
    // A file text that is not text is no note, as the editor says; nor is it read any further.
    cipher::Utf8Checker text;
    bool isText = true;
    bool accepted = opener.has_value();
    int error = 0;
    while (isText && (accepted || trace.enabled())) {
        const ssize_t got = cipher::readRetrying(fd, piece.get(), pipePiece);
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            isText = text.finish();
            break;
        }
        const std::string_view fileText(piece.get(), static_cast<std::size_t>(got));
        isText = text.feed(cipher::asBytes(fileText));
        accepted = accepted && isText && opener->feed(fileText);
    }
    if (error != 0) {
        return cipher::Failure{displayName(path) + ": cannot be read: " + readCause(error)};
    }
    if (!isText) {
        return refusedNote(path);
    }
    if (!opener) {
        trace.label("some error");
        return refusedNote(path);
    }
    cipher::Result<std::string> note = accepted ? opener->finish() : cipher::wrongPasswordOrDamaged();
    if (trace.enabled()) {
        cipher::traceNote(trace, stages, note);
    }
    return note ? std::move(note) : cipher::Result<std::string>(refusedNote(path));
}

/// The next decrypted piece of a mapped file text, giving back the memory of the file text read so far.
cipher::Result<std::string_view> nextGivingBack(cipher::DecryptedContent& content, MappedFile& mapped) {
    cipher::Result<std::string_view> piece = content.nextPiece();
    mapped.reached(content.fileTextDone());
    return piece;
}

/// A decrypted copy of a mapped file text that gives the file's memory back as it goes.
class GivingBackContent final : public cipher::PiecewiseContent {
public:
    GivingBackContent(cipher::DecryptedContent& content, MappedFile& mapped) : m_content(content), m_mapped(mapped) {}

    cipher::Result<std::string_view> nextPiece() override { return nextGivingBack(m_content, m_mapped); }
    cipher::Result<cipher::Done> checkPiece(std::string_view written) override { return m_content.checkPiece(written); }

private:
    cipher::DecryptedContent& m_content;
    MappedFile& m_mapped;
};

/// What the decryption onto the output gives: done, or the line to report (empty when it has been reported).
using Decrypted = cipher::Result<cipher::Done>;

Decrypted finished(StandardOutput& output) {
    return output.finish() ? Decrypted(cipher::Done{}) : cipher::Failure{};
}

/// Decrypts into the output file, which is replaced only when all of it decrypts.
Decrypted decryptIntoFile(const Command& command, cipher::PiecewiseContent& content, const Environment& environment) {
    TemporaryNotingFileOps ops(*environment.fileOps);
    const Decrypted saved = cipher::writeFileAtomically(command.output, content, ops);
    if (saved) {
        return saved;
    }
    return saved.failure().cause == cipher::FailureCause::wrongPasswordOrDamaged
               ? refusedNote(command.input)
               : cipher::Failure{writeFailure(command.output, saved.failure())};
}

/// Writes the note onto an output that can be taken back as it is decrypted, taking it back should the rest turn
/// out not to be a note.
Decrypted decryptTakingBack(const Command& command, cipher::PiecewiseContent& content, StandardOutput& output) {
    for (;;) {
        const cipher::Result<std::string_view> piece = content.nextPiece();
        if (piece && piece.value().empty()) {
            return finished(output);
        }
        if (!piece || !output.write(piece.value())) {
            output.takeBack();
            return piece ? cipher::Failure{} : refusedNote(command.input);
        }
    }
}

/// Whether all of the mapped file text decrypts to a note, holding no more than a piece of it.
bool decryptsWhole(MappedFile& mapped, std::string_view password) {
    std::optional<cipher::DecryptedContent> content =
        cipher::DecryptedContent::make(mapped.text(), password, cipher::noteIv);
    while (content) {
        const cipher::Result<std::string_view> piece = nextGivingBack(*content, mapped);
        if (!piece || piece.value().empty()) {
            return piece.ok();
        }
    }
    return false;
}

/// Writes the note onto an output where nothing may appear unless all of it decrypts: it is decrypted twice, first
/// to check, then to write. Decryption is quick beside the writing; a second thread to overlap the two did not pay.
Decrypted decryptCheckingFirst(const Command& command, MappedFile& mapped, std::string_view password,
                               StandardOutput& output) {
    if (!decryptsWhole(mapped, password)) {
        return refusedNote(command.input);
    }
    mapped.readAgain();
    std::optional<cipher::DecryptedContent> again =
        cipher::DecryptedContent::make(mapped.text(), password, cipher::noteIv);
    while (again) {
        const cipher::Result<std::string_view> piece = nextGivingBack(*again, mapped);
        if (!piece) {
            // It decrypted a moment ago: the file was changed meanwhile.
            return cipher::Failure{displayName(command.input) +
                                   ": changed while it was being read; standard output is incomplete"};
        }
        if (piece.value().empty()) {
            return finished(output);
        }
        if (!output.write(piece.value())) {
            return cipher::Failure{};
        }
    }
    return refusedNote(command.input);
}

/// Decrypts a mapped note file a piece at a time, never holding the note whole and giving the file's memory back as
/// it goes: into the output file, or onto the environment's output, where nothing may remain unless all of it
/// decrypts.
Decrypted decryptMapped(const Command& command, MappedFile& mapped, std::string_view password,
                        const Environment& environment) {
    std::optional<cipher::DecryptedContent> content =
        cipher::DecryptedContent::make(mapped.text(), password, cipher::noteIv);
    if (!content) {
        return refusedNote(command.input);
    }
    GivingBackContent givingBack(*content, mapped);
    if (!command.output.empty()) {
        return decryptIntoFile(command, givingBack, environment);
    }
    StandardOutput output(environment.output, environment.errors);
    return output.canTakeBack() ? decryptTakingBack(command, givingBack, output)
                                : decryptCheckingFirst(command, mapped, password, output);
}

/// Reports the line a decryption failed with, if it has not been reported; the exit status.
int reportDecrypted(const Decrypted& done, const Environment& environment) {
    if (!done && !done.failure().message.empty()) {
        report(environment, done.failure().message);
    }
    return done ? exitSuccess : exitFailure;
}

/// Decrypts from a pipe, or from a file with the trace on, holding the note until all of it is decrypted: onto a
/// pipe, a terminal or the middle of a file nothing of a refused note may appear, and a pipe cannot be read twice
/// to check first; the trace's lines come before the note.
int decryptHeld(const Command& command, int fd, std::string_view password, const Environment& environment) {
    cipher::Result<std::string> note = decryptSource(command.input, fd, password, environment.trace);
    closeSource(command.input, fd);
    if (!note) {
        report(environment, note.failure().message);
        return exitFailure;
    }
    const WipeOnExit wipe{note.value()};
    return writeResult(command.output, note.value(), environment) ? exitSuccess : exitFailure;
}

/// Decrypts from a pipe (or any input that is not mapped) as it is read, the note never held: into the output file,
/// or onto a standard output that can be taken back. Elsewhere, and with the trace on, the note is held.
int decryptUnmapped(const Command& command, int fd, std::string_view password, const Environment& environment) {
    std::optional<StandardOutput> output;
    if (command.output.empty()) {
        output.emplace(environment.output, environment.errors);
    }
    if (environment.trace.enabled() || (output && !output->canTakeBack())) {
        return decryptHeld(command, fd, password, environment);
    }
    DescriptorSource source(fd);
    std::optional<cipher::DecryptedContent> content = cipher::DecryptedContent::make(source, password, cipher::noteIv);
    Decrypted done = !content ? refusedNote(command.input)
                     : output ? decryptTakingBack(command, *content, *output)
                              : decryptIntoFile(command, *content, environment);
    closeSource(command.input, fd);
    if (!done && source.error() != 0) {
        done = cipher::Failure{displayName(command.input) + ": cannot be read: " + readCause(source.error())};
    }
    return reportDecrypted(done, environment);
}

int decryptNote(const Command& command, const Environment& environment) {
    const cipher::Result<cipher::SecureBytes> password =
        obtainPassword(command.passwordFile, environment, "Password: ");
    if (!password) {
        report(environment, password.failure().message);
        return exitFailure;
    }
    const std::string_view key = cipher::asText(password.value());
    const int fd = openSource(command.input, environment);
    if (fd < 0) {
        return exitFailure;
    }
    if (writesOverItsInput(command, fd, environment)) {
        closeSource(command.input, fd);
        return exitFailure;
    }
    // A file is mapped rather than read, so that it is never copied; a pipe is decrypted as it is read.
    std::optional<MappedFile> mapped = environment.trace.enabled() ? std::nullopt : MappedFile::map(fd);
    if (!mapped) {
        return decryptUnmapped(command, fd, key, environment);
    }
    closeSource(command.input, fd);
    return reportDecrypted(decryptMapped(command, *mapped, key, environment), environment);
}

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
