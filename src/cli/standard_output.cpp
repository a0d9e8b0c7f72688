#include "cli/standard_output.h"

#include "cli/problem.h"

#include "cipher/files/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace cli {

StandardOutput::StandardOutput(std::FILE* output, std::FILE* errors) : m_output(output), m_errors(errors) {
    const int fd = ::fileno(output);
    struct stat info {};
    if (fd < 0 || std::fflush(output) != 0 || ::fstat(fd, &info) != 0) {
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        m_stream = true;
        return;
    }
    // Appending writes at the end wherever the offset is; otherwise only an offset at the end means that writing
    // overwrites nothing.
    const int flags = ::fcntl(fd, F_GETFL);
    const off_t offset = ::lseek(fd, 0, SEEK_CUR);
    if ((flags >= 0 && (flags & O_APPEND) != 0) || offset == info.st_size) {
        m_start = info.st_size;
    }
}

bool StandardOutput::failed() {
    const std::string line = "vellumpad-cli: standard output: cannot be written: " + fileErrorWords(errno) + "\n";
    std::fwrite(line.data(), 1, line.size(), m_errors);
    std::fflush(m_errors);
    return false;
}

bool StandardOutput::write(std::string_view piece) {
    while (!piece.empty()) {
        const std::size_t size = std::min(piece.size(), cipher::largestWrite);
        if (std::fwrite(piece.data(), 1, size, m_output) != size) {
            return failed();
        }
        piece.remove_prefix(size);
    }
    return true;
}

bool StandardOutput::finish() {
    return std::fflush(m_output) == 0 || failed();
}

void StandardOutput::takeBack() {
    if (!m_start) {
        return;
    }
    // What is still buffered goes out first, so that it cannot land after the cut.
    (void)std::fflush(m_output);
    std::clearerr(m_output);
    const int fd = ::fileno(m_output);
    [[maybe_unused]] const int cut = ::ftruncate(fd, *m_start);
    // The offset moves back too, also for a standard error that shares the file (2>&1).
    (void)::fseeko(m_output, *m_start, SEEK_SET);
}

} // namespace cli
