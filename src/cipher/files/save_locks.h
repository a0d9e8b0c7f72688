#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace cipher {

/// An exclusive advisory lock (flock) held on an open file until destroyed; every writer of a note takes one on the
/// note it replaces, and on its temporary file while it writes it.
class FileLock {
public:
    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    /// Locks the file the path names now, waiting while another writer holds it. No lock, and 0, when there is no
    /// file there yet or it cannot be opened; an errno (EBUSY) when another writer held it too long.
    [[nodiscard]] static int lockTarget(const std::filesystem::path& path, FileLock& into);

    /// Locks the temporary file just created on fd (the caller's to close; the lock outlives it, on a duplicate) into
    /// the lock. False when the path no longer names that file (another save took it for abandoned and removed it):
    /// the caller makes another.
    [[nodiscard]] static bool lockTemporary(int fd, const std::string& path, FileLock& into);

    [[nodiscard]] bool held() const noexcept { return m_fd >= 0; }

private:
    explicit FileLock(int fd) noexcept : m_fd(fd) {}
    int m_fd = -1;
};

/// Removes the temporary files in folder that saves of one target abandoned (killed, or cut off by a power cut): only
/// files named as those saves name them (temporaryStem, then the random part and suffix), regular files owned by this
/// user, whose lock nobody holds.
void removeAbandonedTemporaries(const std::filesystem::path& folder, std::string_view temporaryStem);

} // namespace cipher
