#pragma once

#include "cipher/base/result.h"

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace cipher {

/// The system calls the atomic writer makes, one virtual each, so that a test can make any step fail.
/// Each returns what the system call returns and leaves errno set on failure.
class FileOps {
public:
    virtual ~FileOps() = default;
    /// open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode).
    virtual int createExclusive(const std::string& path, mode_t mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const std::string& from, const std::string& to);
    virtual int unlink(const std::string& path);
    /// Opens the folder and fsyncs it, so that a rename survives a power cut.
    virtual int syncDirectory(const std::string& path);
};

/// The real system calls.
FileOps& systemFileOps();

/// The prefix and suffix that mark a temporary file of an interrupted save, for example
/// ".Diary.vpd.vellumpad-save-Ab12Cd.tmp" beside "Diary.vpd": hidden, and never ending in ".vpd".
inline constexpr std::string_view temporaryPrefix = ".";
inline constexpr std::string_view temporaryMarker = ".vellumpad-save-";
inline constexpr std::string_view temporarySuffix = ".tmp";
/// The length of the random part between the marker and the suffix.
inline constexpr std::size_t temporaryRandomLength = 6;

/// Whether a file name is that of a temporary file left by an interrupted save.
[[nodiscard]] bool isTemporarySaveName(std::string_view fileName) noexcept;

/// Checks the content as read back from the temporary file before it replaces the target.
/// Returns a failure to refuse the replacement; its cause is the save's, the writer adds the path.
using ContentCheck = std::function<Result<Done>(std::string_view writtenContent)>;

/// A file's content made and checked a piece at a time, so that a large file is never held whole.
class PiecewiseContent {
public:
    virtual ~PiecewiseContent() = default;
    /// The next piece to write, valid until the next call; an empty piece ends the content. A failure ends the
    /// save; the writer adds the path.
    [[nodiscard]] virtual Result<std::string_view> nextPiece() = 0;
    /// The file as read back, a piece at a time in order, then an empty piece at the end; each piece given by
    /// nextPiece is read back before the next is asked for. A failure refuses the replacement; the writer adds
    /// the path.
    [[nodiscard]] virtual Result<Done> checkPiece(std::string_view written) = 0;
};

/// Says, just before the writer puts its file in place of the target, whether it still may; a failure leaves the
/// target as it is and is the save's failure (the writer adds the path). It runs while the writer holds the
/// target's lock, so no other writer of Vellumpad can replace the target meanwhile.
using ReplaceCheck = std::function<Result<Done>()>;

/// Writes the content to path atomically: a new temporary file in the same folder (mode 0600, or the mode of the
/// file it replaces), written in full, flushed to disk, read back and checked when a check is given, renamed over
/// path, the folder synced. On any failure path keeps its earlier content, no temporary file is left, and the
/// failure names the file and the cause (for example the folder does not exist). The one exception is
/// a folder that cannot be synced after the rename: the file is then replaced, and the failure says so.
/// For the whole save the writer holds an exclusive advisory lock (flock) on the file it replaces, waiting while
/// another writer holds it, and one on its temporary file; before it creates that it removes the temporary files that
/// earlier saves of the same target abandoned. While it writes, its temporary file is noted for removal should a
/// signal end the program (removeNotedTemporariesOnSignals).
[[nodiscard]] Result<Done> writeFileAtomically(const std::filesystem::path& path, std::string_view content,
                                               const ContentCheck& check = {}, FileOps& ops = systemFileOps());

/// Like the above for content made a piece at a time: each piece is written as it comes, read back from the file
/// at once and handed to the content to check; nothing else holds the content whole.
[[nodiscard]] Result<Done> writeFileAtomically(const std::filesystem::path& path, PiecewiseContent& content,
                                               FileOps& ops = systemFileOps(), const ReplaceCheck& mayReplace = {});

} // namespace cipher
