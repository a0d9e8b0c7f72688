#pragma once

#include "cipher/files/atomic_file.h"

#include <cerrno>
#include <string>

namespace cipher::test {

enum class Step { None, Create, Write, Fsync, Close, Rename, Sync, Corrupt };

// Real system calls, except that the chosen step fails with the chosen error (Corrupt stores one byte wrongly).
// The first name tried is taken and writes are cut short or interrupted, which the writer must absorb.
class FaultyOps : public FileOps {
public:
    FaultyOps(Step step, int error) : m_step(step), m_error(error) {}
    int createExclusive(const std::string& path, mode_t mode) override {
        if (m_creates++ == 0) {
            return fail(EEXIST);
        }
        return m_step == Step::Create ? fail(m_error) : FileOps::createExclusive(path, mode);
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (m_step == Step::Write || m_writes++ % 3 == 1) {
            return fail(m_step == Step::Write ? m_error : EINTR);
        }
        std::string chunk(static_cast<const char*>(data), std::min<std::size_t>(size, 7));
        chunk[0] = static_cast<char>(chunk[0] ^ (m_step == Step::Corrupt && m_writes == 3 ? 1 : 0));
        return FileOps::write(fd, chunk.data(), chunk.size());
    }
    int fsync(int fd) override { return m_step == Step::Fsync ? fail(m_error) : FileOps::fsync(fd); }
    int close(int fd) override {
        const int result = FileOps::close(fd);
        return m_step == Step::Close ? fail(m_error) : result;
    }
    int rename(const std::string& from, const std::string& to) override {
        return m_step == Step::Rename ? fail(m_error) : FileOps::rename(from, to);
    }
    int syncDirectory(const std::string& path) override {
        return m_step == Step::Sync ? fail(m_error) : FileOps::syncDirectory(path);
    }

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
    Step m_step;
    int m_error;
    int m_creates = 0;
    int m_writes = 0;
};

} // namespace cipher::test
