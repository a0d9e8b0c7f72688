#include "save_locks.h"

#include "atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace cipher {

namespace {

// How long a writer waits for another to finish with the same note before it gives up as on a busy file: far
// longer than any save, short enough that a writer stopped for good (a process suspended) does not hang the next.
constexpr auto longestWait = std::chrono::seconds(30);
constexpr auto retryStep = std::chrono::milliseconds(5);
// A note replaced this often while its writer waited is being rewritten in a loop.
constexpr int mostReplacements = 100;

bool sameFile(const struct stat& a, const struct stat& b) noexcept {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Waits for the lock, polling so that the wait can end; 0 or an errno.
int lockWaiting(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + longestWait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return 0;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return errno;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return EBUSY;
        }
        std::this_thread::sleep_for(retryStep);
    }
}

} // namespace

FileLock::FileLock(FileLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FileLock::~FileLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int FileLock::lockTarget(const std::filesystem::path& path, FileLock& into) {
    for (int attempt = 0; attempt < mostReplacements; ++attempt) {
        // Not blocking, so that a pipe put in the note's place cannot hold the writer; any open file can be locked.
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        }
        if (fd < 0) {
            return 0;
        }
        FileLock lock(fd);
        struct stat locked {};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            return 0;
        }
        if (const int error = lockWaiting(fd); error != 0) {
            return error == EBUSY ? EBUSY : 0;
        }
        // The writer that held the lock may have put a new file in the note's place meanwhile: that one is locked next.
        struct stat now {};
        if (::stat(path.c_str(), &now) != 0) {
            return 0;
        }
        if (sameFile(locked, now)) {
            into = std::move(lock);
            return 0;
        }
    }
    return EBUSY;
}

bool FileLock::lockTemporary(int fd, const std::string& path, FileLock& into) {
    // The duplicate shares the lock and keeps it after the writer closes its descriptor, until the rename.
    const int kept = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    FileLock lock(kept >= 0 ? kept : -1);
    if (::flock(fd, LOCK_EX) != 0) {
        return true;
    }
    struct stat created {};
    struct stat named {};
    if (::fstat(fd, &created) != 0 || ::stat(path.c_str(), &named) != 0 || !sameFile(created, named)) {
        return false;
    }
    into = std::move(lock);
    return true;
}

void removeAbandonedTemporaries(const std::filesystem::path& folder, std::string_view temporaryStem) {
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return;
    }
    DIR* entries = ::fdopendir(folderFd);
    if (entries == nullptr) {
        ::close(folderFd);
        return;
    }
    const std::size_t nameLength = temporaryStem.size() + temporaryRandomLength + temporarySuffix.size();
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name = entry->d_name;
        if (name.size() != nameLength || !name.starts_with(temporaryStem) || !isTemporarySaveName(name)) {
            continue;
        }
        // Never a link, and never waiting on a pipe someone put under such a name.
        const int fd = ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat opened {};
        struct stat named {};
        // The lock is free once its writer has ended; the name must still be the file locked when it is removed.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named)) {
            (void)::unlinkat(folderFd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(entries);
}

} // namespace cipher
