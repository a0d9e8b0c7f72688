#include "recovery_slot.h"

#include "atomic_file.h"
#include "file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

namespace cipher {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view copySuffix = ".note.vpd";
constexpr std::string_view aboutSuffix = ".about.vpd";
constexpr std::string_view lockSuffix = ".lock";
constexpr std::size_t idBytes = 8;

bool isSlotId(std::string_view id) {
    return id.size() == 2 * idBytes &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

Result<Done> removeIfPresent(const fs::path& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return fileFailure(Operation::remove, path, errno);
    }
    return Done{};
}

} // namespace

RecoverySlot recoverySlot(const fs::path& folder, std::string_view id) {
    const std::string name(id);
    return {name, folder / (name + std::string(copySuffix)), folder / (name + std::string(aboutSuffix)),
            folder / (name + std::string(lockSuffix))};
}

std::string newRecoverySlotId() {
    unsigned char raw[idBytes];
    fillRandom(raw, idBytes);
    static constexpr std::string_view digits = "0123456789abcdef";
    std::string id;
    for (const unsigned char byte : raw) {
        id += digits[byte >> 4];
        id += digits[byte & 0xF];
    }
    return id;
}

std::vector<std::string> recoverySlotIds(const fs::path& folder) {
    std::vector<std::string> ids;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        for (const std::string_view suffix : {copySuffix, aboutSuffix, lockSuffix}) {
            const std::string_view id = std::string_view(name).substr(0, name.size() - suffix.size());
            if (name.ends_with(suffix) && isSlotId(id)) {
                ids.emplace_back(id);
            }
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

Result<Done> makePrivateFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        return fileFailure(Operation::create, folder, error.value());
    }
    for (const fs::path& each : {folder.parent_path(), folder}) {
        if (::chmod(each.c_str(), 0700) != 0) {
            return fileFailure(Operation::protect, each, errno);
        }
    }
    return Done{};
}

Result<Done> removeRecoveryFiles(const RecoverySlot& slot) {
    for (const fs::path& file : {slot.copy, slot.about}) {
        Result<Done> removed = removeIfPresent(file);
        if (!removed) {
            return removed;
        }
    }
    // A copy killed while it was written leaves its temporary file; it holds only file text, but it is the slot's.
    const std::string prefix = std::string(temporaryPrefix) + slot.id + '.';
    std::error_code error;
    for (fs::directory_iterator it(slot.copy.parent_path(), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix) && isTemporarySaveName(name)) {
            (void)removeIfPresent(it->path());
        }
    }
    return Done{};
}

std::optional<RecoveryLock> RecoveryLock::claim(const RecoverySlot& slot) {
    const int fd = ::open(slot.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return std::nullopt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return RecoveryLock(fd);
}

RecoveryLock::RecoveryLock(RecoveryLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

RecoveryLock& RecoveryLock::operator=(RecoveryLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

RecoveryLock::~RecoveryLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void RecoveryLock::removeSlot(const RecoverySlot& slot) {
    (void)removeRecoveryFiles(slot);
    // Removed while still locked, so that no other window takes the slot for an orphan in between.
    (void)removeIfPresent(slot.lock);
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
}

} // namespace cipher
