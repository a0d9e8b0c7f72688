#include "atomic_file.h"

#include "cipher/base/bytes.h"
#include "file_io.h"
#include "interrupted_saves.h"
#include "save_locks.h"
#include "save_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

namespace cipher {

namespace {

constexpr std::size_t randomLength = temporaryRandomLength;
constexpr std::size_t maxNameLength = 255;
constexpr int createAttempts = 100;
// The written file is read back in pieces of this size.
constexpr std::size_t readBackPiece = std::size_t{1} << 20;
// The disk is asked to start writing after every so many bytes, so that the writing overlaps the work.
constexpr std::size_t writebackStep = std::size_t{2} << 20;

constexpr std::string_view randomAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isRandomChar(char c) noexcept {
    return randomAlphabet.find(c) != std::string_view::npos;
}

std::string randomSuffix() {
    unsigned char raw[randomLength];
    fillRandom(raw, randomLength);
    std::string suffix(randomLength, '\0');
    for (std::size_t i = 0; i < randomLength; ++i) {
        suffix[i] = randomAlphabet[raw[i] % randomAlphabet.size()];
    }
    return suffix;
}

// What the names of the target's temporary files start with.
std::string temporaryStem(const std::string& targetName) {
    // Keeps the temporary name within the file-system limit even for a target whose own name is near it.
    const std::size_t overhead =
        temporaryPrefix.size() + temporaryMarker.size() + randomLength + temporarySuffix.size();
    std::string stem(temporaryPrefix);
    stem += targetName.substr(0, maxNameLength - overhead);
    stem += temporaryMarker;
    return stem;
}

Failure saveFailure(const std::filesystem::path& path, int error) {
    return fileFailure(Operation::save, path, error);
}

// A failure of the content (not encrypted, not a note, read back differently) as the save's failure.
Failure saveFailure(const std::filesystem::path& path, const Failure& content) {
    return Failure{content.cause, Operation::save, path.string(), content.systemError};
}

class TemporaryFile {
public:
    TemporaryFile(FileOps& ops, std::string path) : m_ops(ops), m_path(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        closeQuietly();
        if (m_linked) {
            const int saved = errno;
            m_ops.unlink(m_path);
            errno = saved;
        }
    }

    void opened(int fd) noexcept {
        m_fd = fd;
        m_linked = true;
    }
    [[nodiscard]] int fd() const noexcept { return m_fd; }
    [[nodiscard]] const std::string& path() const noexcept { return m_path; }
    // Afterwards the descriptor is gone whatever close() says.
    [[nodiscard]] bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return m_ops.close(fd) == 0;
    }
    // After a successful rename there is nothing left to remove; nor after another save removed the file.
    void renamed() noexcept { m_linked = false; }

private:
    void closeQuietly() {
        if (m_fd >= 0) {
            const int saved = errno;
            m_ops.close(m_fd);
            m_fd = -1;
            errno = saved;
        }
    }

    FileOps& m_ops;
    std::string m_path;
    int m_fd = -1;
    bool m_linked = false;
};

bool writeAll(FileOps& ops, int fd, std::string_view content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left != 0) {
        const ssize_t written = ops.write(fd, data, std::min(left, largestWrite));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            // write() making no progress on a regular file means there is no room.
            errno = ENOSPC;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

int fsyncRetrying(FileOps& ops, int fd) {
    int result;
    do {
        result = ops.fsync(fd);
    } while (result != 0 && errno == EINTR);
    return result;
}

// Content held whole: written in one piece, then compared as read back and handed to the check.
class WholeContent final : public PiecewiseContent {
public:
    WholeContent(std::string_view content, const ContentCheck& check) : m_content(content), m_check(check) {}

    Result<std::string_view> nextPiece() override {
        const std::string_view piece = m_given ? std::string_view() : m_content;
        m_given = true;
        return piece;
    }

    Result<Done> checkPiece(std::string_view written) override {
        if (!written.empty()) {
            return matchesNext(m_content, m_matched, written) ? Result<Done>(Done{})
                                                              : Failure{FailureCause::readBackDiffers};
        }
        if (m_matched != m_content.size()) {
            return Failure{FailureCause::readBackDiffers};
        }
        // The file holds exactly the content, so the check can be given the content instead of a second copy.
        return m_check ? m_check(m_content) : Result<Done>(Done{});
    }

private:
    std::string_view m_content;
    const ContentCheck& m_check;
    bool m_given = false;
    std::size_t m_matched = 0;
};

// Reads the temporary file back as it is written and hands it to the content's check a piece at a time. Each piece
// is read back right after it is written, while it is still in the processor's cache, which makes checking a
// large note far cheaper than a second pass over the whole file.
class ReadBack {
public:
    ReadBack(const std::string& path, PiecewiseContent& content)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), m_content(content) {}
    ReadBack(const ReadBack&) = delete;
    ReadBack& operator=(const ReadBack&) = delete;
    ~ReadBack() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    // Reads back the next size bytes, which were just written, and checks them.
    Result<Done> next(std::size_t size) {
        while (size > 0) {
            const std::size_t want = std::min(size, readBackPiece);
            const std::optional<std::size_t> got = read(want);
            if (!got || *got != want) {
                return Failure{FailureCause::readBackDiffers};
            }
            if (Result<Done> checked = m_content.checkPiece(std::string_view(m_piece.get(), want)); !checked) {
                return checked;
            }
            size -= want;
        }
        return Done{};
    }

    // Checks that nothing follows what was written, then ends the content's check.
    Result<Done> finish() {
        const std::optional<std::size_t> got = read(1);
        if (!got || *got != 0) {
            return Failure{FailureCause::readBackDiffers};
        }
        return m_content.checkPiece({});
    }

private:
    // Up to size bytes from the current offset; fewer only at the end of the file.
    std::optional<std::size_t> read(std::size_t size) {
        if (m_fd < 0) {
            return std::nullopt;
        }
        if (!m_piece) {
            m_piece.reset(new char[readBackPiece]);
        }
        std::size_t used = 0;
        while (used < size) {
            const ssize_t got = readRetrying(m_fd, m_piece.get() + used, size - used);
            if (got < 0) {
                return std::nullopt;
            }
            if (got == 0) {
                break;
            }
            used += static_cast<std::size_t>(got);
        }
        return used;
    }

    int m_fd;
    PiecewiseContent& m_content;
    std::unique_ptr<char[]> m_piece;
};

// Asks the system to start writing the range to disk now, so that the final fsync has little left to wait for.
void startWriteback(int fd, std::size_t from, std::size_t size) {
#ifdef SYNC_FILE_RANGE_WRITE
    (void)::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)from;
    (void)size;
#endif
}

Result<Done> writeAtomically(const std::filesystem::path& path, PiecewiseContent& content, FileOps& ops,
                             const ReplaceCheck& mayReplace) {
    if (!path.has_filename()) {
        return saveFailure(path, EISDIR);
    }
    const Result<Target> inspected = inspectTarget(path);
    if (!inspected) {
        return inspected.failure();
    }
    const Target& target = inspected.value();
    const std::filesystem::path folder = target.path.has_parent_path() ? target.path.parent_path() : ".";
    const std::string stem = temporaryStem(target.path.filename().string());

    // Another writer of the same note finishes first, and this one then replaces what that one wrote.
    FileLock targetLock;
    if (const int error = FileLock::lockTarget(target.path, targetLock); error != 0) {
        return saveFailure(path, error);
    }
    removeAbandonedTemporaries(folder, stem);

    std::optional<TemporaryFile> temporary;
    FileLock temporaryLock;
    for (int attempt = 0; attempt < createAttempts; ++attempt) {
        temporary.emplace(ops, (folder / (stem + randomSuffix() + std::string(temporarySuffix))).string());
        const int fd = ops.createExclusive(temporary->path(), target.mode);
        if (fd >= 0) {
            temporary->opened(fd);
            if (FileLock::lockTemporary(fd, temporary->path(), temporaryLock)) {
                break;
            }
            temporary->renamed();
            (void)temporary->close();
            continue;
        }
        if (errno == EACCES || errno == EPERM) {
            // The file may well be writable; what refused is its folder, which the user must be told to look at.
            return fileFailure(Operation::save, path, FailureCause::folderNotWritable);
        }
        if (errno != EEXIST && errno != EINTR) {
            return saveFailure(path, errno);
        }
    }
    if (temporary->fd() < 0) {
        return saveFailure(path, EEXIST);
    }
    NotedTemporary noted(temporary->path());
    // open() applies the umask; the replaced file's bits and owner are kept where possible. Failing here only
    // leaves the file less accessible, never more.
    (void)::fchmod(temporary->fd(), target.mode);
    if (target.exists && (target.owner != ::geteuid() || target.group != ::getegid())) {
        [[maybe_unused]] const int ignored = ::fchown(temporary->fd(), target.owner, target.group);
    }

    // Reading back catches a write that the system accepted but stored differently. It runs while the disk
    // writes, and fsync then waits for the rest; what is read back is the same before and after.
    ReadBack readBack(temporary->path(), content);
    std::size_t written = 0;
    std::size_t flushed = 0;
    for (;;) {
        const Result<std::string_view> piece = content.nextPiece();
        if (!piece) {
            return saveFailure(path, piece.failure());
        }
        if (piece.value().empty()) {
            break;
        }
        if (!writeAll(ops, temporary->fd(), piece.value())) {
            return saveFailure(path, errno);
        }
        if (Result<Done> checked = readBack.next(piece.value().size()); !checked) {
            return saveFailure(path, checked.failure());
        }
        written += piece.value().size();
        if (written - flushed >= writebackStep) {
            startWriteback(temporary->fd(), flushed, written - flushed);
            flushed = written;
        }
    }
    startWriteback(temporary->fd(), flushed, written - flushed);
    if (Result<Done> checked = readBack.finish(); !checked) {
        return saveFailure(path, checked.failure());
    }
    if (fsyncRetrying(ops, temporary->fd()) != 0) {
        return saveFailure(path, errno);
    }
    if (!temporary->close()) {
        return saveFailure(path, errno);
    }

    // Syncing the folder before the rename too means a folder that cannot be synced fails the save while the
    // earlier content is still in place.
    if (ops.syncDirectory(folder.string()) != 0) {
        return saveFailure(path, errno);
    }
    if (mayReplace) {
        if (Result<Done> allowed = mayReplace(); !allowed) {
            return saveFailure(path, allowed.failure());
        }
    }
    noted.forget();
    if (ops.rename(temporary->path(), target.path.string()) != 0) {
        return saveFailure(path, errno);
    }
    temporary->renamed();
    if (ops.syncDirectory(folder.string()) != 0) {
        return Failure{FailureCause::notFlushed, Operation::save, path.string(), errno};
    }
    return Done{};
}

} // namespace

int FileOps::createExclusive(const std::string& path, mode_t mode) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}

ssize_t FileOps::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int FileOps::fsync(int fd) {
    return ::fsync(fd);
}

int FileOps::close(int fd) {
    return ::close(fd);
}

int FileOps::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

int FileOps::unlink(const std::string& path) {
    return ::unlink(path.c_str());
}

int FileOps::syncDirectory(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const int result = ::fsync(fd);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return result;
}

FileOps& systemFileOps() {
    static FileOps ops;
    return ops;
}

bool isTemporarySaveName(std::string_view fileName) noexcept {
    const std::size_t fixed = temporaryPrefix.size() + temporaryMarker.size() + randomLength + temporarySuffix.size();
    if (fileName.size() <= fixed || !fileName.starts_with(temporaryPrefix) || !fileName.ends_with(temporarySuffix)) {
        return false;
    }
    fileName.remove_suffix(temporarySuffix.size());
    for (std::size_t i = fileName.size() - randomLength; i < fileName.size(); ++i) {
        if (!isRandomChar(fileName[i])) {
            return false;
        }
    }
    fileName.remove_suffix(randomLength);
    return fileName.ends_with(temporaryMarker);
}

Result<Done> writeFileAtomically(const std::filesystem::path& path, std::string_view content, const ContentCheck& check,
                                 FileOps& ops) {
    try {
        WholeContent whole(content, check);
        return writeAtomically(path, whole, ops, {});
    } catch (const std::bad_alloc&) {
        return saveFailure(path, ENOMEM);
    }
}

Result<Done> writeFileAtomically(const std::filesystem::path& path, PiecewiseContent& content, FileOps& ops,
                                 const ReplaceCheck& mayReplace) {
    try {
        return writeAtomically(path, content, ops, mayReplace);
    } catch (const std::bad_alloc&) {
        return saveFailure(path, ENOMEM);
    }
}

} // namespace cipher
