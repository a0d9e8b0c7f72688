#include "property.h"
#include "scratch.h"

#include "cipher/files/atomic_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

const fs::path& folder() {
    return fuzz::scratchFolder("atomic");
}

using fuzz::readFile;

// The real system calls, except as the plan says: the call numbered failAt fails with the chosen error, writes
// are cut short to the planned sizes or interrupted, and names may already be taken.
class PlannedFaults final : public cipher::FileOps {
public:
    explicit PlannedFaults(std::string_view plan) : m_plan(plan) {}

    int createExclusive(const std::string& path, mode_t mode) override {
        if (next() % 4 == 0) {
            return fail(EEXIST); // the name is taken: the writer tries another
        }
        return fault() ? -1 : FileOps::createExclusive(path, mode);
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        const std::uint8_t step = next();
        if (step % 5 == 0) {
            return fail(EINTR);
        }
        if (fault()) {
            return -1;
        }
        return FileOps::write(fd, data, std::min<std::size_t>(size, 1 + step % 64));
    }
    int fsync(int fd) override { return fault() ? -1 : FileOps::fsync(fd); }
    int close(int fd) override {
        const bool failed = fault();
        const int result = FileOps::close(fd); // the descriptor goes whatever close says
        return failed ? -1 : result;
    }
    int rename(const std::string& from, const std::string& to) override {
        return fault() ? -1 : FileOps::rename(from, to);
    }
    int syncDirectory(const std::string& path) override { return fault() ? -1 : FileOps::syncDirectory(path); }

private:
    std::uint8_t next() { return m_used < m_plan.size() ? static_cast<std::uint8_t>(m_plan[m_used++]) : 1; }
    // The first planned byte says which call fails (none when past the calls made) and with which error.
    bool fault() {
        if (m_plan.empty() || m_calls++ != static_cast<std::uint8_t>(m_plan[0]) % 48) {
            return false;
        }
        const int errors[] = {ENOSPC, EIO, EACCES, EROFS, EDQUOT, EFBIG};
        errno = errors[static_cast<std::uint8_t>(m_plan[0]) / 48 % 6];
        return true;
    }
    int fail(int error) {
        errno = error;
        return -1;
    }

    std::string_view m_plan;
    std::size_t m_used = 1;
    unsigned m_calls = 0;
};

} // namespace

// The input is a fault plan (its first 16 bytes) and the content to save over a file holding earlier content.
// Whatever fails, the file holds the whole old or (only on success, or when only syncing the folder after the
// rename failed) the whole new content, no temporary file is left, and a failure names the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view plan = input.substr(0, std::min<std::size_t>(16, input.size()));
    const std::string_view content = input.substr(plan.size());
    const fs::path target = folder() / "note.vpd";
    const std::string earlier = "earlier";
    { std::ofstream(target, std::ios::binary | std::ios::trunc) << earlier; }
    PlannedFaults ops(plan);
    const cipher::Result<cipher::Done> saved = cipher::writeFileAtomically(target, content, {}, ops);
    const std::string now = readFile(target);
    if (saved) {
        require(now == content);
    } else {
        require(saved.failure().path == target.string() && saved.failure().operation == cipher::Operation::save);
        const bool replaced = saved.failure().cause == cipher::FailureCause::notFlushed;
        require(now == (replaced ? std::string(content) : earlier));
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder())) {
        require(entry.path().filename() == "note.vpd");
    }
    return 0;
}
