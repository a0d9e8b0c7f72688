#pragma once

#include "cipher/base/result.h"

#include <sys/types.h>

#include <filesystem>

namespace cipher {

/// The file a save replaces, as it is before the save.
struct Target {
    /// Where the bytes go: the path, or where its symbolic links end.
    std::filesystem::path path;
    mode_t mode = 0600;
    bool exists = false;
    uid_t owner = 0;
    gid_t group = 0;
};

/// Where the bytes of a save of path go and with which permission bits, or the save's failure that rules it out
/// (isAFolder, notAFile for anything else that is not a regular file). A symbolic link is followed so that it stays a
/// link, also one that points at no file yet: the file is made where it points.
[[nodiscard]] Result<Target> inspectTarget(const std::filesystem::path& path);

} // namespace cipher
