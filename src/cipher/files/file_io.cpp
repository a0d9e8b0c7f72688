#include "file_io.h"

#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>

#include <openssl/rand.h>

namespace cipher {

Failure fileFailure(std::string_view action, const std::filesystem::path& path, FailureCause cause,
                    std::string_view words) {
    std::string message = "Could not ";
    message += action;
    message += " \"";
    message += path.string();
    message += "\": ";
    message += words;
    message += '.';
    return Failure{std::move(message), cause, std::string(words)};
}

Failure fileFailure(std::string_view action, const std::filesystem::path& path, int error) {
    return fileFailure(action, path, causeOfFileError(error), describeFileError(error));
}

FailureCause causeOfFileError(int error) noexcept {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FailureCause::notFound;
    case EACCES:
    case EPERM:
        return FailureCause::noPermission;
    case ENOSPC:
    case EDQUOT:
        return FailureCause::noSpace;
    case EISDIR:
    case ENODEV:
        return FailureCause::notAFile;
    case EROFS:
        return FailureCause::readOnly;
    case EFBIG:
        return FailureCause::tooLarge;
    case EIO:
        return FailureCause::diskError;
    case ENOMEM:
        return FailureCause::notEnoughMemory;
    default:
        return FailureCause::other;
    }
}

ssize_t readRetrying(int fd, void* into, std::size_t size) noexcept {
    for (;;) {
        const ssize_t got = ::read(fd, into, size);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

void fillRandom(unsigned char* bytes, std::size_t size) noexcept {
    if (RAND_bytes(bytes, static_cast<int>(size)) != 1) {
        std::random_device device;
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<unsigned char>(device());
        }
    }
}

std::string describeFileError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "the folder does not exist";
    case EACCES:
    case EPERM:
        return "permission denied";
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EISDIR:
        return "it is a folder";
    case ENODEV:
        return "it is not a regular file";
    case EROFS:
        return "the disk is read-only";
    case EFBIG:
        return "the file is too large";
    case EIO:
        return "the disk reported an input/output error";
    case ENAMETOOLONG:
        return "the name is too long";
    case ELOOP:
        return "the path has too many symbolic links";
    case EMFILE:
    case ENFILE:
        return "too many files are open";
    case EBUSY:
    case ETXTBSY:
        return "the file is busy";
    case EEXIST:
        return "no temporary file could be created beside it";
    case ENOMEM:
        return "there is not enough memory";
    default:
        return "an unexpected error occurred (" + std::generic_category().message(error) + ")";
    }
}

} // namespace cipher
