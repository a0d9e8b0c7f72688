#include "file_io.h"

#include <unistd.h>

#include <cerrno>
#include <random>

#include <openssl/rand.h>

namespace cipher {

Failure fileFailure(Operation operation, const std::filesystem::path& path, FailureCause cause) {
    return Failure{cause, operation, path.string()};
}

Failure fileFailure(Operation operation, const std::filesystem::path& path, int error) {
    const FailureCause cause = causeOfFileError(error);
    return Failure{cause, operation, path.string(), cause == FailureCause::other ? error : 0};
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
        return FailureCause::isAFolder;
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
    case ENAMETOOLONG:
        return FailureCause::nameTooLong;
    case ELOOP:
        return FailureCause::tooManyLinks;
    case EMFILE:
    case ENFILE:
        return FailureCause::tooManyOpenFiles;
    case EBUSY:
    case ETXTBSY:
        return FailureCause::busy;
    case EEXIST:
        return FailureCause::noTemporaryFile;
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

} // namespace cipher
