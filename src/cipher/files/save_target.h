#pragma once

#include <sys/types.h>

#include <filesystem>
#include <variant>

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

/// Where the bytes of a save of path go and with which permission bits, or the errno that rules it out (EISDIR for
/// a folder, ENODEV for anything else that is not a regular file). A symbolic link is followed so that it stays a
/// link, also one that points at no file yet: the file is made where it points.
[[nodiscard]] std::variant<Target, int> inspectTarget(const std::filesystem::path& path);

} // namespace cipher
