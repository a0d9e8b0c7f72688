#include "note_file.h"

#include "cipher/crypto/digest.h"
#include "cipher/encoding/utf8.h"
#include "cipher/files/file_io.h"
#include "cipher/stream/note_stream.h"
#include "cipher/stream/stream_encryptor.h"
#include "note_cipher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace cipher {

namespace {

constexpr std::string_view someError = "some error";

Failure notTextFailure(const std::filesystem::path& path) {
    return fileFailure(Operation::open, path, FailureCause::notText);
}

Failure readFailure(const std::filesystem::path& path, int error) {
    switch (error) {
    case ENOENT:
        return fileFailure(Operation::open, path, FailureCause::notFound);
    case ENOMEM:
        return fileFailure(Operation::open, path, FailureCause::tooLarge);
    default:
        // ENOTDIR too: "the folder does not exist".
        return fileFailure(Operation::open, path, error);
    }
}

std::size_t readPieceSize = std::size_t{1} << 20;

// A regular file opened for reading, or the errno that prevented it: EISDIR for a folder, ENODEV for anything else
// that is not a regular file.
struct OpenedFile {
    int fd = -1;
    int error = 0;
    std::size_t size = 0;
};

OpenedFile openRegularFile(const std::string& path) {
    OpenedFile opened;
    // O_NONBLOCK so that a pipe chosen by mistake is refused instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        opened.error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        opened.error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        opened.error = ENODEV;
    }
    if (opened.error != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return opened;
    }
    opened.fd = fd;
    opened.size = static_cast<std::size_t>(info.st_size);
    return opened;
}

// Reads a regular file a piece at a time into one reused buffer, checking its UTF-8 as it goes; readWholeFile's
// errors, without holding the file.
class PieceReader {
public:
    explicit PieceReader(const std::string& path)
        : m_pieceSize(readPieceSize), m_piece(new char[m_pieceSize]), m_file(openRegularFile(path)) {}
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;
    ~PieceReader() {
        if (m_file.fd >= 0) {
            ::close(m_file.fd);
        }
    }

    [[nodiscard]] int error() const noexcept { return m_file.error; }
    [[nodiscard]] std::size_t size() const noexcept { return m_file.size; }
    /// Whether everything read so far is well-formed UTF-8, a sequence cut at the end included.
    [[nodiscard]] bool wellFormed() const noexcept { return m_textSoFar && m_text.finish(); }
    /// Whether everything read so far is well-formed UTF-8 or the start of a sequence the rest may complete.
    [[nodiscard]] bool textSoFar() const noexcept { return m_textSoFar; }

    /// The next piece, valid until the next call; empty at the end or on an error.
    std::string_view next() {
        if (m_file.error != 0 || m_file.fd < 0) {
            return {};
        }
        const ssize_t got = readRetrying(m_file.fd, m_piece.get(), m_pieceSize);
        if (got <= 0) {
            m_file.error = got < 0 ? errno : 0;
            return {};
        }
        const std::string_view piece(m_piece.get(), static_cast<std::size_t>(got));
        m_textSoFar = m_text.feed(asBytes(piece));
        return piece;
    }

private:
    std::size_t m_pieceSize;
    std::unique_ptr<char[]> m_piece;
    OpenedFile m_file;
    Utf8Checker m_text;
    bool m_textSoFar = true;
};

// The file text of a note, encrypted as it is written and checked as it is read back, so that saving a large note
// holds neither the file text nor a decrypted copy.
class NoteFileContent final : public PiecewiseContent {
public:
    NoteFileContent(NoteEncryptor encryptor, NoteVerifier verifier, Log& log)
        : m_encryptor(std::move(encryptor)), m_verifier(std::move(verifier)), m_log(log) {}

    Result<std::string_view> nextPiece() override {
        const std::optional<std::string_view> piece = m_encryptor.next();
        if (!piece) {
            m_failed = true;
            m_log.write(someError);
            return Failure{m_encryptor.failureCause()};
        }
        m_ended = piece->empty();
        return *piece;
    }

    /// Encrypts what the writer did not ask for, so that a trace shows the whole encryption of a save that failed.
    void finishEncryption() {
        while (!m_ended && !m_failed) {
            const std::optional<std::string_view> piece = m_encryptor.next();
            m_failed = !piece;
            m_ended = piece && piece->empty();
        }
    }

    Result<Done> checkPiece(std::string_view written) override {
        if (!(written.empty() ? m_verifier.finish() : m_verifier.feed(written))) {
            return Failure{FailureCause::readBackDiffers};
        }
        return Done{};
    }

private:
    NoteEncryptor m_encryptor;
    NoteVerifier m_verifier;
    Log& m_log;
    bool m_ended = false;
    bool m_failed = false;
};

// The file text of a note read from a source, encrypted as it is written. What is read back must be the piece just
// given, byte for byte, and must decrypt to the note: as the note is not held, the bytes decrypted are compared
// with it by their digests at the end.
class StreamedFileContent final : public PiecewiseContent {
public:
    StreamedFileContent(StreamEncryptor encryptor, NoteDecryptor decryptor, RunningDigest note, RunningDigest readBack,
                        Log& log)
        : m_encryptor(std::move(encryptor)), m_decryptor(std::move(decryptor)), m_note(std::move(note)),
          m_readBack(std::move(readBack)), m_log(log) {}

    Result<std::string_view> nextPiece() override {
        const std::optional<std::string_view> piece = m_encryptor.next();
        if (!piece) {
            m_log.write(someError);
            const FailureCause cause = m_encryptor.failureCause();
            return Failure{cause};
        }
        // The end leaves the last piece to be checked whole.
        if (piece->empty()) {
            return *piece;
        }
        m_given = *piece;
        m_matched = 0;
        if (!m_note.add(m_encryptor.plainPiece())) {
            return Failure{FailureCause::notEncrypted};
        }
        return *piece;
    }

    Result<Done> checkPiece(std::string_view written) override {
        const auto sink = [this](ByteView plain) { return m_readBack.add(plain); };
        bool same = false;
        if (written.empty()) {
            const std::optional<RunningDigest::Value> note = m_note.finish();
            same = m_matched == m_given.size() && m_decryptor.finish(sink) && note && note == m_readBack.finish();
        } else {
            same = matchesNext(m_given, m_matched, written) && m_decryptor.feed(written, sink);
        }
        return same ? Result<Done>(Done{}) : Failure{FailureCause::readBackDiffers};
    }

private:
    StreamEncryptor m_encryptor;
    NoteDecryptor m_decryptor;
    RunningDigest m_note;
    RunningDigest m_readBack;
    Log& m_log;
    std::string_view m_given;
    std::size_t m_matched = 0;
};

Failure encryptFailure(const std::filesystem::path& path, FailureCause cause) {
    return fileFailure(Operation::save, path, cause);
}

} // namespace

FileContent readWholeFile(const std::string& path) {
    FileContent result;
    const OpenedFile opened = openRegularFile(path);
    if (opened.error != 0) {
        result.error = opened.error;
        return result;
    }
    const int fd = opened.fd;
    try {
        // The size is a hint only: the file may change while it is read.
        result.bytes.reserve(opened.size);
        preferHugePages(result.bytes.data(), result.bytes.capacity());
        result.bytes.resize(opened.size);
        std::size_t used = 0;
        for (;;) {
            if (used == result.bytes.size()) {
                result.bytes.resize(used + 64 * 1024);
            }
            const ssize_t got = readRetrying(fd, result.bytes.data() + used, result.bytes.size() - used);
            if (got < 0) {
                result.error = errno;
                break;
            }
            if (got == 0) {
                break;
            }
            used += static_cast<std::size_t>(got);
        }
        result.bytes.resize(used);
    } catch (const std::bad_alloc&) {
        result.error = ENOMEM;
    }
    ::close(fd);
    if (result.error != 0) {
        result.bytes.clear();
    }
    return result;
}

Result<std::string> readNoteFile(const std::filesystem::path& path) {
    FileContent content = readWholeFile(path.string());
    if (content.error != 0) {
        return readFailure(path, content.error);
    }
    if (!isWellFormedUtf8(content.bytes)) {
        return notTextFailure(path);
    }
    return std::move(content.bytes);
}

Result<std::string> openNoteFile(const std::filesystem::path& path, std::string_view password, ByteView iv,
                                 const Trace& trace) {
    try {
        PieceReader reader(path.string());
        if (reader.error() != 0) {
            return readFailure(path, reader.error());
        }
        TracedStages stages(trace);
        // Traced, the whole note is decrypted even when it is not text, as the trace shows all of it.
        std::optional<NoteOpener> opener = NoteOpener::make(
            password, iv, reader.size(),
            trace.enabled() ? NoteOpener::Keep::wellFormedPrefix : NoteOpener::Keep::wholeNote, stages.observer());
        bool accepted = opener.has_value();
        // Whichever shows first ends the reading: a piece that is not text, or one the opener refuses. A garbage or
        // endless file is then refused after a piece or two, not decrypted whole.
        while (accepted) {
            const std::string_view piece = reader.next();
            if (piece.empty() || !reader.textSoFar()) {
                break;
            }
            accepted = opener->feed(piece);
        }
        // The trace tells of a file that is text all through, so the rest of a refused one is checked too; and a
        // file refused as under a wrong password is decoded on to its end (no longer decrypted), to tell whether any
        // password could open it.
        const bool readToEnd = accepted || trace.enabled() || (opener && !opener->refusedForGood());
        while (!accepted && readToEnd && reader.textSoFar()) {
            const std::string_view piece = reader.next();
            if (piece.empty()) {
                break;
            }
            if (opener && !trace.enabled()) {
                (void)opener->feed(piece);
            }
        }
        if (reader.error() != 0) {
            return readFailure(path, reader.error());
        }
        // Refused in the middle, the file may still end in a sequence cut by the piece; only at its end must it not.
        if (!reader.textSoFar() || (readToEnd && !reader.wellFormed())) {
            return notTextFailure(path);
        }
        if (!opener) {
            trace.label(someError);
        }
        Result<std::string> note = !opener                 ? wrongPasswordOrDamaged()
                                   : accepted || readToEnd ? opener->finish()
                                                           : opener->refusal();
        if (opener && trace.enabled()) {
            traceNote(trace, stages, note);
        }
        if (!note) {
            return fileFailure(Operation::open, path, note.failure().cause);
        }
        return note;
    } catch (const std::bad_alloc&) {
        return readFailure(path, ENOMEM);
    }
}

void setNoteReadPieceSize(std::size_t bytes) noexcept {
    readPieceSize = std::max<std::size_t>(bytes, 1);
}

std::string readTextFile(const std::filesystem::path& path) {
    Result<std::string> content = readNoteFile(path);
    return content ? std::move(content).value() : std::string();
}

Result<Done> saveEncryptedText(const std::filesystem::path& path, std::string_view text, std::string_view password,
                               ByteView iv, const Trace& trace, Log& log, FileOps& ops,
                               const ReplaceCheck& mayReplace) {
    Result<Done> saved = Done{};
    try {
        TracedStages stages(trace);
        if (trace.enabled()) {
            stages.input(text);
        }
        std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(
            text, password, iv, NoteEncryptor::Check::asItGoes, NoteEncryptor::Encode::withCipher, stages.observer());
        std::optional<NoteVerifier> verifier = NoteVerifier::make(text, password, iv);
        if (!encryptor || !verifier) {
            log.write(someError);
            saved = encryptFailure(path, FailureCause::notEncrypted);
        } else {
            NoteFileContent content(std::move(*encryptor), std::move(*verifier), log);
            saved = writeFileAtomically(path, content, ops, mayReplace);
            if (!saved && trace.enabled()) {
                content.finishEncryption();
            }
        }
    } catch (const std::bad_alloc&) {
        saved = fileFailure(Operation::save, path, ENOMEM);
    }
    log.write(saved ? "Success!" : "Failed!!");
    return saved;
}

Result<Done> saveEncryptedStream(const std::filesystem::path& path, PieceSource& note, std::string_view password,
                                 ByteView iv, Log& log, FileOps& ops) {
    Result<Done> saved = Done{};
    try {
        std::optional<StreamEncryptor> encryptor = StreamEncryptor::make(note, password, iv);
        std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(password, iv);
        std::optional<RunningDigest> noteDigest = RunningDigest::make();
        std::optional<RunningDigest> readBackDigest = RunningDigest::make();
        if (!encryptor || !decryptor || !noteDigest || !readBackDigest) {
            log.write(someError);
            saved = encryptFailure(path, FailureCause::notEncrypted);
        } else {
            StreamedFileContent content(std::move(*encryptor), std::move(*decryptor), std::move(*noteDigest),
                                        std::move(*readBackDigest), log);
            saved = writeFileAtomically(path, content, ops);
        }
    } catch (const std::bad_alloc&) {
        saved = fileFailure(Operation::save, path, ENOMEM);
    }
    log.write(saved ? "Success!" : "Failed!!");
    return saved;
}

} // namespace cipher
