#include "save_target.h"

#include "file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <system_error>

namespace cipher {

namespace {

// Where a chain of symbolic links ends, one link at a time: also where the last points at nothing yet, which canonical
// cannot resolve. No value, with errno set, for a loop or an unreadable link.
std::optional<std::filesystem::path> endOfLinks(std::filesystem::path path) {
    constexpr int mostLinks = 40; // as the system allows in one path
    for (int link = 0; link < mostLinks; ++link) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) {
            errno = ec.value();
            return std::nullopt;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    errno = ELOOP;
    return std::nullopt;
}

} // namespace

Result<Target> inspectTarget(const std::filesystem::path& path) {
    Target target{path};
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::error_code ec;
        if (auto resolved = std::filesystem::canonical(path, ec); !ec) {
            target.path = std::move(resolved);
        } else if (std::optional<std::filesystem::path> end = endOfLinks(path)) {
            target.path = std::move(*end);
        } else {
            return fileFailure(Operation::save, path, errno);
        }
    }
    if (::stat(target.path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return fileFailure(Operation::save, path, FailureCause::isAFolder);
        }
        if (!S_ISREG(info.st_mode)) {
            return fileFailure(Operation::save, path, FailureCause::notAFile);
        }
        target.exists = true;
        target.mode = info.st_mode & 0777;
        target.owner = info.st_uid;
        target.group = info.st_gid;
        return target;
    }
    if (errno != ENOENT) {
        return fileFailure(Operation::save, path, errno);
    }
    return target;
}

} // namespace cipher
