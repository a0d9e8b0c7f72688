#include "note_file.h"

#include "cipher/crypto/digest.h"
#include "cipher/encoding/utf8.h"
#include "cipher/files/file_io.h"
#include "cipher/stream/note_opening.h"
#include "cipher/stream/note_stream.h"
#include "note_cipher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
// holds neither the file text nor a decrypted copy, and a note from a pipe is never held whole: what is read back
// must be the piece just given, byte for byte, and must decrypt to the note's bytes that the piece held.
class NoteFileContent final : public PiecewiseContent {
public:
    NoteFileContent(NoteEncryptor encryptor, NoteDecryptor decryptor, Log& log)
        : m_encryptor(std::move(encryptor)), m_decryptor(std::move(decryptor)), m_log(log) {}
    NoteFileContent(const NoteFileContent&) = delete;
    NoteFileContent& operator=(const NoteFileContent&) = delete;
    ~NoteFileContent() override { cleanse(m_carried.data(), m_carried.size()); }

    Result<std::string_view> nextPiece() override {
        carryOver();
        Result<std::string_view> piece = m_encryptor.next();
        if (!piece) {
            m_failed = true;
            m_log.write(someError);
            return piece;
        }
        // The end leaves the last piece to be checked whole.
        m_ended = piece.value().empty();
        if (!m_ended) {
            m_given = piece.value();
            m_matched = 0;
            m_plain = m_encryptor.plainPiece();
            m_plainMatched = 0;
        }
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
        const auto sink = [this](ByteView plain) { return compare(plain); };
        const bool same = written.empty() ? m_matched == m_given.size() && m_decryptor.finish(sink) && !m_lagging &&
                                                m_carriedMatched == m_carriedSize && m_plainMatched == m_plain.size()
                                          : matchesNext(m_given, m_matched, written) && m_decryptor.feed(written, sink);
        return same ? Result<Done>(Done{}) : Failure{FailureCause::readBackDiffers};
    }

private:
    // The cipher holds back the last block it decrypted until more follows, so the note's bytes of one piece may be
    // matched only once the next is read back: they are kept, as the encryptor may reuse their memory.
    void carryOver() {
        const ByteView rest = m_plain.subspan(m_plainMatched);
        const std::size_t carried = m_carriedSize - m_carriedMatched;
        m_lagging = m_lagging || carried + rest.size() > m_carried.size();
        if (!m_lagging) {
            std::memmove(m_carried.data(), m_carried.data() + m_carriedMatched, carried);
            // An empty note may have no memory at all.
            if (!rest.empty()) {
                std::memcpy(m_carried.data() + carried, rest.data(), rest.size());
            }
            m_carriedSize = carried + rest.size();
            m_carriedMatched = 0;
        }
        m_plainMatched = m_plain.size();
    }

    // Decrypted bytes read back follow on what the piece before left unmatched, then on the piece last given.
    bool compare(ByteView plain) {
        const std::size_t fromCarried = std::min(plain.size(), m_carriedSize - m_carriedMatched);
        if (std::memcmp(plain.data(), m_carried.data() + m_carriedMatched, fromCarried) != 0) {
            return false;
        }
        m_carriedMatched += fromCarried;
        return matchesNext(asText(m_plain), m_plainMatched, asText(plain.subspan(fromCarried)));
    }

    NoteEncryptor m_encryptor;
    NoteDecryptor m_decryptor;
    Log& m_log;
    std::string_view m_given;
    std::size_t m_matched = 0; // characters of the piece given that were read back
    ByteView m_plain;          // the note's bytes that the piece holds
    std::size_t m_plainMatched = 0;
    std::array<std::uint8_t, 64> m_carried{};
    std::size_t m_carriedSize = 0;
    std::size_t m_carriedMatched = 0;
    bool m_lagging = false; // more was left unmatched than the cipher holds back: the read-back differs
    bool m_ended = false;
    bool m_failed = false;
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

Result<Done> saveEncryptedText(const std::filesystem::path& path, std::string_view text, const NoteFormat& format,
                               Log& log, FileOps& ops, const ReplaceCheck& mayReplace) {
    TextSource note(text);
    return saveEncryptedStream(path, note, format, log, ops, mayReplace);
}

Result<Done> saveEncryptedStream(const std::filesystem::path& path, PieceSource& note, const NoteFormat& format,
                                 Log& log, FileOps& ops, const ReplaceCheck& mayReplace) {
    Result<Done> saved = Done{};
    try {
        if (StageObserver* observer = format.observer(); observer != nullptr && note.held()) {
            observer->encryptionStarted(*note.held());
        }
        std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(note, format);
        // The check is no part of the encryption, so a trace does not tell of it.
        std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(format, nullptr);
        if (!encryptor || !decryptor) {
            log.write(someError);
            saved = encryptFailure(path, FailureCause::notEncrypted);
        } else {
            NoteFileContent content(std::move(*encryptor), std::move(*decryptor), log);
            saved = writeFileAtomically(path, content, ops, mayReplace);
            if (!saved && format.observer() != nullptr) {
                content.finishEncryption();
            }
        }
    } catch (const std::bad_alloc&) {
        saved = fileFailure(Operation::save, path, ENOMEM);
    }
    log.write(saved ? "Success!" : "Failed!!");
    return saved;
}

} // namespace cipher
