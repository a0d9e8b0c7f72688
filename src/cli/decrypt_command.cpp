#include "cli/commands.h"

#include "cli/command_support.h"
#include "cli/mapped_file.h"
#include "cli/standard_output.h"

#include "cipher/files/atomic_file.h"
#include "cipher/note/note_cipher.h"
#include "cipher/stream/decrypted_content.h"
#include "cipher/stream/note_opening.h"
#include "cipher/stream/note_stream.h"

#include <optional>
#include <string>
#include <string_view>

namespace cli {
namespace {

/// The line for a note that does not decrypt whole and clean: a wrong password, or a file no password can open.
Problem refusedNote(const std::string& path,
                    cipher::FailureCause cause = cipher::FailureCause::wrongPasswordOrDamaged) {
    return Problem{displayName(path) + ": " + causeWords(cipher::Failure{cause}) + "; nothing written"};
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

/// The note read from the descriptor (the named file's, or the environment's input when the name is empty), opened
/// as the editor opens a file, a piece at a time as it is read so that the file text is never held whole; the
/// failure is the line to report.
Outcome<std::string> decryptSource(const std::string& path, int fd, const cipher::NoteFormat& format) {
    DescriptorSource source(fd);
    cipher::NoteText note;
    const cipher::Result<cipher::Done> opened = cipher::openNote(source, format, note);
    if (source.error() != 0) {
        return Problem{displayName(path) + ": cannot be read: " + readCause(source.error())};
    }
    if (!opened) {
        // A file text that is not text is no note, as the editor says.
        const cipher::FailureCause cause = opened.failure().cause;
        return refusedNote(path, cause == cipher::FailureCause::notText ? cipher::FailureCause::notANote : cause);
    }
    return Outcome<std::string>(note.release());
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
using Decrypted = Outcome<cipher::Done>;

Decrypted finished(StandardOutput& output) {
    return output.finish() ? Decrypted(cipher::Done{}) : Problem{};
}

/// Decrypts into the output file, which is replaced only when all of it decrypts.
Decrypted decryptIntoFile(const Command& command, cipher::PiecewiseContent& content, const Environment& environment) {
    const cipher::Result<cipher::Done> saved =
        cipher::writeFileAtomically(command.output, content, *environment.fileOps);
    if (saved) {
        return cipher::Done{};
    }
    const cipher::FailureCause cause = saved.failure().cause;
    return cause == cipher::FailureCause::wrongPasswordOrDamaged || cause == cipher::FailureCause::notANote
               ? refusedNote(command.input, cause)
               : Problem{writeFailure(command.output, saved.failure())};
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
            return piece ? Problem{} : refusedNote(command.input, piece.failure().cause);
        }
    }
}

/// Whether all of the mapped file text decrypts to a note, holding no more than a piece of it: done, or the line
/// to report.
Decrypted decryptsWhole(const Command& command, MappedFile& mapped, std::string_view password) {
    cipher::TextSource fileText(mapped.text());
    std::optional<cipher::DecryptedContent> content =
        cipher::DecryptedContent::make(fileText, cipher::NoteFormat(password));
    while (content) {
        const cipher::Result<std::string_view> piece = nextGivingBack(*content, mapped);
        if (!piece) {
            return refusedNote(command.input, piece.failure().cause);
        }
        if (piece.value().empty()) {
            return cipher::Done{};
        }
    }
    return refusedNote(command.input);
}

/// Writes the note onto an output where nothing may appear unless all of it decrypts: it is decrypted twice, first
/// to check, then to write. Decryption is quick beside the writing; a second thread to overlap the two did not pay.
Decrypted decryptCheckingFirst(const Command& command, MappedFile& mapped, std::string_view password,
                               StandardOutput& output) {
    if (Decrypted whole = decryptsWhole(command, mapped, password); !whole) {
        return whole;
    }
    mapped.readAgain();
    cipher::TextSource fileText(mapped.text());
    std::optional<cipher::DecryptedContent> again =
        cipher::DecryptedContent::make(fileText, cipher::NoteFormat(password));
    while (again) {
        const cipher::Result<std::string_view> piece = nextGivingBack(*again, mapped);
        if (!piece) {
            // It decrypted a moment ago: the file was changed meanwhile.
            return Problem{displayName(command.input) +
                           ": changed while it was being read; standard output is incomplete"};
        }
        if (piece.value().empty()) {
            return finished(output);
        }
        if (!output.write(piece.value())) {
            return Problem{};
        }
    }
    return refusedNote(command.input);
}

/// Decrypts a mapped note file a piece at a time, never holding the note whole and giving the file's memory back as
/// it goes: into the output file, or onto the environment's output, where nothing may remain unless all of it
/// decrypts.
Decrypted decryptMapped(const Command& command, MappedFile& mapped, std::string_view password,
                        const Environment& environment) {
    cipher::TextSource fileText(mapped.text());
    std::optional<cipher::DecryptedContent> content =
        cipher::DecryptedContent::make(fileText, cipher::NoteFormat(password));
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
    Outcome<std::string> note = decryptSource(command.input, fd, cipher::TracedFormat(password, environment.trace));
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
    std::optional<cipher::DecryptedContent> content =
        cipher::DecryptedContent::make(source, cipher::NoteFormat(password));
    Decrypted done = !content ? refusedNote(command.input)
                     : output ? decryptTakingBack(command, *content, *output)
                              : decryptIntoFile(command, *content, environment);
    closeSource(command.input, fd);
    if (!done && source.error() != 0) {
        done = Problem{displayName(command.input) + ": cannot be read: " + readCause(source.error())};
    }
    return reportDecrypted(done, environment);
}

} // namespace

int decryptNote(const Command& command, const Environment& environment) {
    if (refusesReadOnlyOutput(command.output, environment)) {
        return exitFailure;
    }
    const int fd = openSource(command.input, environment);
    if (fd < 0) {
        return exitFailure;
    }
    const Outcome<cipher::SecureBytes> password = obtainPassword(command.passwordFile, environment, "Password: ");
    if (!password) {
        report(environment, password.failure().message);
        closeSource(command.input, fd);
        return exitFailure;
    }
    const std::string_view key = cipher::asText(password.value());
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

} // namespace cli
