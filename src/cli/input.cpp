#include "cli/input.h"

#include "cipher/encoding/utf8.h"
#include "cipher/files/file_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cli {
namespace {

// Reads go in pieces of this size; when the size is not known in advance (a pipe), the buffer starts at this and
// doubles, so that a 100 MiB note is moved only a few times.
constexpr std::size_t readChunk = std::size_t{1} << 20;

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::string readCause(int error) {
    return error == ENOENT ? "no such file" : fileErrorWords(error);
}

Outcome<int> openInput(const std::string& path, InputKinds kinds) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer before its kind is even known.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        return Problem{readCause(error)};
    }
    const bool accepted = S_ISREG(info.st_mode) || (S_ISFIFO(info.st_mode) && kinds == InputKinds::regularOrPipe);
    if (!accepted) {
        ::close(fd);
        if (S_ISDIR(info.st_mode)) {
            return Problem{fileErrorWords(EISDIR)};
        }
        return Problem{kinds == InputKinds::regularOnly ? "it is not a regular file"
                                                        : "it is neither a regular file nor a pipe"};
    }
    (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (S_ISFIFO(info.st_mode)) {
        // Until a writer comes, a read would find the end at once; the system keeps that wait for poll, which
        // returns once a writer has written or come and gone.
        pollfd waiting{fd, POLLIN, 0};
        while (::poll(&waiting, 1, -1) < 0 && errno == EINTR) {
        }
    }
    return fd;
}

ReadEnd readInto(int fd, cipher::SecureBytes& into, std::size_t limit, bool textOnly) {
    // One byte beyond the limit shows that it is passed; one beyond a known size, that the end is reached.
    const std::size_t most = limit == noReadLimit ? noReadLimit : limit + 1;
    struct stat info {};
    const bool knownSize = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    into.resize(std::min(knownSize ? static_cast<std::size_t>(info.st_size) + 1 : readChunk, most));
    cipher::Utf8Checker text;
    ReadEnd end;
    std::size_t used = 0;
    while (used < most) {
        if (used == into.size()) {
            into.resize(std::min(into.size() * 2, most));
        }
        const ssize_t got = cipher::readRetrying(fd, into.data() + used, std::min(into.size() - used, readChunk));
        if (got <= 0) {
            end.error = got < 0 ? errno : 0;
            break;
        }
        const cipher::ByteView piece(into.data() + used, static_cast<std::size_t>(got));
        used += piece.size();
        if (textOnly && !text.feed(piece)) {
            end.notText = true;
            break;
        }
    }
    into.resize(used);
    end.tooLarge = used > limit;
    end.notText = end.notText || (textOnly && end.error == 0 && !end.tooLarge && !text.finish());
    return end;
}

DescriptorSource::DescriptorSource(int fd) : m_fd(fd), m_piece(readChunk) {}

std::optional<std::string_view> DescriptorSource::next() {
    const ssize_t got = cipher::readRetrying(m_fd, m_piece.data(), m_piece.size());
    if (got < 0) {
        m_error = errno;
        return std::nullopt;
    }
    return cipher::asText(cipher::ByteView(m_piece.data(), static_cast<std::size_t>(got)));
}

bool isSameFile(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && sameInode(open, named);
}

bool isSameRegularFile(int fd, int other) {
    struct stat a {};
    struct stat b {};
    return ::fstat(fd, &a) == 0 && ::fstat(other, &b) == 0 && S_ISREG(a.st_mode) && sameInode(a, b);
}

} // namespace cli
