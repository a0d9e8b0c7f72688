#include "note_file.h"

#include "cipher/crypto/digest.h"
#include "cipher/encoding/utf8.h"
#include "cipher/files/file_io.h"
#include "cipher/stream/note_opening.h"
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
    struct stat info {};
};

OpenedFile openRegularFile(const std::string& path) {
    OpenedFile opened;
    // O_NONBLOCK so that a pipe chosen by mistake is refused instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat& info = opened.info;
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

std::int64_t nanoseconds(const timespec& time) noexcept {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// Reads a regular file a piece at a time into one reused buffer, hashing what it reads, so that what is remembered
// of the file comes from the same read as the note; readWholeFile's errors, without holding the file.
class NoteFileReader final : public PieceSource {
public:
    explicit NoteFileReader(const std::string& path)
        : m_pieceSize(readPieceSize), m_piece(new char[m_pieceSize]), m_file(openRegularFile(path)),
          m_digest(RunningDigest::make()) {}
    NoteFileReader(const NoteFileReader&) = delete;
    NoteFileReader& operator=(const NoteFileReader&) = delete;
    ~NoteFileReader() override {
        if (m_file.fd >= 0) {
            ::close(m_file.fd);
        }
    }

    [[nodiscard]] int error() const noexcept { return m_file.error; }
    [[nodiscard]] std::size_t size() const noexcept override { return m_file.size; }

    std::optional<std::string_view> next() override {
        if (m_file.error != 0 || m_file.fd < 0) {
            return std::nullopt;
        }
        const ssize_t got = readRetrying(m_file.fd, m_piece.get(), m_pieceSize);
        if (got < 0) {
            m_file.error = errno;
            return std::nullopt;
        }
        const std::string_view piece(m_piece.get(), static_cast<std::size_t>(got));
        if (m_digest && !m_digest->add(asBytes(piece))) {
            m_digest.reset();
        }
        return piece;
    }

    /// The file as it was opened, with the hash of all that was read.
    [[nodiscard]] FileSnapshot snapshot() {
        const struct stat& info = m_file.info;
        FileSnapshot seen{static_cast<std::uint64_t>(info.st_dev),
                          static_cast<std::uint64_t>(info.st_ino),
                          static_cast<std::int64_t>(info.st_size),
                          nanoseconds(info.st_mtim),
                          nanoseconds(info.st_ctim),
                          S_ISREG(info.st_mode),
                          {}};
        if (const std::optional<RunningDigest::Value> hash = m_digest ? m_digest->finish() : std::nullopt) {
            seen.sha256.assign(hash->begin(), hash->end());
        }
        return seen;
    }

private:
    std::size_t m_pieceSize;
    std::unique_ptr<char[]> m_piece;
    OpenedFile m_file;
    std::optional<RunningDigest> m_digest;
};

// The file text of a note, encrypted as it is written and checked as it is read back, so that saving a large note
// holds neither the file text nor a decrypted copy.
class NoteFileContent final : public PiecewiseContent {
public:
    NoteFileContent(NoteEncryptor encryptor, NoteVerifier verifier, Log& log)
        : m_encryptor(std::move(encryptor)), m_verifier(std::move(verifier)), m_log(log) {}

    Result<std::string_view> nextPiece() override {
        Result<std::string_view> piece = m_encryptor.next();
        if (!piece) {
            m_failed = true;
            m_log.write(someError);
            return piece;
        }
        m_ended = piece.value().empty();
        return piece;
    }

    /// Encrypts what the writer did not ask for, so that a trace shows the whole encryption of a save that failed.
    void finishEncryption() {
        while (!m_ended && !m_failed) {
            const Result<std::string_view> piece = m_encryptor.next();
            m_failed = !piece;
            m_ended = piece && piece.value().empty();
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
        Result<std::string_view> piece = m_encryptor.next();
        if (!piece) {
            m_log.write(someError);
            return piece;
        }
        // The end leaves the last piece to be checked whole.
        if (piece.value().empty()) {
            return piece;
        }
        m_given = piece.value();
        m_matched = 0;
        if (!m_note.add(m_encryptor.plainPiece())) {
            return Failure{FailureCause::notEncrypted};
        }
        return piece;
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

Result<FileSnapshot> openNoteFile(const std::filesystem::path& path, const NoteFormat& format, NoteSink& note) {
    try {
        NoteFileReader reader(path.string());
        if (reader.error() != 0) {
            return readFailure(path, reader.error());
        }
        const Result<Done> opened = openNote(reader, format, note);
        if (reader.error() != 0) {
            return readFailure(path, reader.error());
        }
        if (!opened && opened.failure().cause == FailureCause::notText) {
            return notTextFailure(path);
        }
        if (!opened) {
            return fileFailure(Operation::open, path, opened.failure().cause);
        }
        return reader.snapshot();
    } catch (const std::bad_alloc&) {
        return readFailure(path, ENOMEM);
    }
}

Result<std::string> openNoteFile(const std::filesystem::path& path, const NoteFormat& format, FileSnapshot* seen) {
    NoteText note;
    Result<FileSnapshot> read = openNoteFile(path, format, note);
    if (!read) {
        return read.failure();
    }
    if (seen != nullptr) {
        *seen = std::move(read).value();
    }
    return note.release();
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
        const NoteFormat format(password, stages.observer(), iv);
        std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(text, format);
        std::optional<NoteVerifier> verifier = NoteVerifier::make(text, format);
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

Result<Done> saveEncryptedStream(const std::filesystem::path& path, PieceSource& note, const NoteFormat& format,
                                 Log& log, FileOps& ops) {
    Result<Done> saved = Done{};
    try {
        std::optional<StreamEncryptor> encryptor = StreamEncryptor::make(note, format);
        std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(format, nullptr);
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
