#pragma once

#include "cipher/base/result.h"

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>

namespace cipher {

/// The most bytes given to one write(): one huge write makes the system take all of it in at once, which was seen
/// to stall it for a quarter of a second on a 100 MiB note.
inline constexpr std::size_t largestWrite = std::size_t{1} << 20;

/// The whole content of a file, or the errno that prevented reading it.
struct FileContent {
    std::string bytes;
    /// 0 on success; EISDIR for a folder, ENODEV for anything else that is not a regular file.
    int error = 0;
};

/// Reads a regular file whole, retrying interrupted reads. Never blocks on a pipe or device.
[[nodiscard]] FileContent readWholeFile(const std::string& path);

/// read(), retried while it is interrupted by a signal: the bytes read, 0 at the end, or -1 with errno set.
[[nodiscard]] ssize_t readRetrying(int fd, void* into, std::size_t size) noexcept;

/// Fills the bytes with random ones from OpenSSL, or from std::random_device should OpenSSL fail: for names of
/// files, which must not clash, not for keys.
void fillRandom(unsigned char* bytes, std::size_t size) noexcept;

/// What a file error (an errno) means to a caller.
[[nodiscard]] FailureCause causeOfFileError(int error) noexcept;

/// A failure of the operation on the file at path, with that cause.
[[nodiscard]] Failure fileFailure(Operation operation, const std::filesystem::path& path, FailureCause cause);

/// fileFailure for a file error, its errno kept for the words of an `other` cause.
[[nodiscard]] Failure fileFailure(Operation operation, const std::filesystem::path& path, int error);

} // namespace cipher
