#pragma once

#include "result.h"

#include <filesystem>
#include <string>
#include <string_view>

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

/// "Could not ACTION \"PATH\": CAUSE." as a failure, for example ACTION "save" and CAUSE "the disk is full".
[[nodiscard]] Failure fileFailure(std::string_view action, const std::filesystem::path& path, std::string_view cause);

} // namespace cipher
