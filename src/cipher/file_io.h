#pragma once

#include <string>

namespace cipher {

/// The whole content of a file, or the errno that prevented reading it.
struct FileContent {
    std::string bytes;
    /// 0 on success; EISDIR for a folder, ENODEV for anything else that is not a regular file.
    int error = 0;
};

/// Reads a regular file whole, retrying interrupted reads. Never blocks on a pipe or device.
[[nodiscard]] FileContent readWholeFile(const std::string& path);

/// The cause of a file error in plain lowercase words, for example "permission denied" or "the disk is full".
[[nodiscard]] std::string describeFileError(int error);

} // namespace cipher
