#pragma once

#include "cipher/base/result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cipher {

/// The files of one window's recovery copy in the recovery folder, named after the slot's id: the copy of the note
/// ("ID.note.vpd"), what it is a copy of ("ID.about.vpd") and the lock its window holds ("ID.lock").
struct RecoverySlot {
    std::string id;
    std::filesystem::path copy;
    std::filesystem::path about;
    std::filesystem::path lock;
};

/// The slot with that id in folder.
[[nodiscard]] RecoverySlot recoverySlot(const std::filesystem::path& folder, std::string_view id);

/// A fresh slot id: 16 random lowercase hexadecimal digits.
[[nodiscard]] std::string newRecoverySlotId();

/// The ids of the slots in folder that have any of their files, sorted; none when the folder cannot be read.
[[nodiscard]] std::vector<std::string> recoverySlotIds(const std::filesystem::path& folder);

/// Makes folder and its missing parents, and makes folder and the one above it readable by their owner only (0700),
/// so that no other user learns even how many copies there are. Fails naming the folder and the cause.
[[nodiscard]] Result<Done> makePrivateFolder(const std::filesystem::path& folder);

/// Removes the slot's copy, its about file and any temporary file an interrupted write of either left, keeping the
/// lock file. Fails naming the first file that could not be removed; a file already gone is no failure.
[[nodiscard]] Result<Done> removeRecoveryFiles(const RecoverySlot& slot);

/// An advisory lock (flock) on a slot's lock file, held until destroyed: the window that holds it owns the slot, and
/// no other window offers or removes its copy. A process that dies releases its locks with it.
class RecoveryLock {
public:
    /// The lock on the slot, creating its lock file (0600) when missing; no value when another process holds it or
    /// the lock file cannot be opened. Never waits.
    [[nodiscard]] static std::optional<RecoveryLock> claim(const RecoverySlot& slot);

    RecoveryLock(RecoveryLock&& other) noexcept;
    RecoveryLock& operator=(RecoveryLock&& other) noexcept;
    RecoveryLock(const RecoveryLock&) = delete;
    RecoveryLock& operator=(const RecoveryLock&) = delete;
    ~RecoveryLock();

    /// Removes the slot's files, the lock file last, and gives the lock up.
    void removeSlot(const RecoverySlot& slot);

private:
    explicit RecoveryLock(int fd) noexcept : m_fd(fd) {}
    int m_fd = -1;
};

} // namespace cipher
