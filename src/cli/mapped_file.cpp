#include "cli/mapped_file.h"

#include "cli/run.h"

#include "cipher/files/interrupted_saves.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace cli {

namespace {

// Memory is given back in steps of at least this size: each step interrupts the threads still at work.
constexpr std::size_t giveBackStep = std::size_t{8} << 20;
// So far ahead of the work the file is mapped in, in steps of a quarter of that.
constexpr std::size_t mapAhead = std::size_t{2} << 20;
constexpr std::size_t mapInStep = mapAhead / 4;

// The mapping the handler answers for; lock-free atomics are safe to read in a signal handler.
std::atomic<std::uintptr_t> mappedStart{0};
std::atomic<std::size_t> mappedSize{0};

extern "C" void onBusError(int signal, siginfo_t* info, void*) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const std::uintptr_t start = mappedStart.load();
    if (address >= start && address - start < mappedSize.load()) {
        // Only async-signal-safe calls here.
        cipher::removeNotedTemporaries();
        const ssize_t written = ::write(STDERR_FILENO, inputCutShortMessage.data(), inputCutShortMessage.size());
        (void)written;
        ::_exit(exitFailure);
    }
    // Not ours: the default action, once the faulting instruction runs again.
    ::signal(signal, SIG_DFL);
}

} // namespace

MappedFile::MappedFile(const char* data, std::size_t size, const struct sigaction& previous) noexcept
    : m_data(data), m_size(size), m_previous(previous) {}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_givenBack(other.m_givenBack), m_mappedIn(other.m_mappedIn),
      m_previous(other.m_previous) {
    other.m_data = nullptr;
    other.m_size = 0;
}

std::optional<MappedFile> MappedFile::map(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
        return std::nullopt;
    }
    // Read front to back once: the system can read ahead further.
    (void)::madvise(data, size, MADV_SEQUENTIAL);
    mappedStart.store(reinterpret_cast<std::uintptr_t>(data));
    mappedSize.store(size);
    struct sigaction handler {};
    handler.sa_sigaction = onBusError;
    handler.sa_flags = SA_SIGINFO;
    sigemptyset(&handler.sa_mask);
    struct sigaction previous {};
    ::sigaction(SIGBUS, &handler, &previous);
    return MappedFile(static_cast<const char*>(data), size, previous);
}

void MappedFile::reached(std::size_t offset) noexcept {
    if (m_data == nullptr) {
        return;
    }
    const auto pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t done = std::min(offset, m_size) / pageSize * pageSize;
    if (done >= m_givenBack + giveBackStep) {
        // The file itself is unchanged; only this process's view of those pages goes.
        (void)::madvise(const_cast<char*>(m_data) + m_givenBack, done - m_givenBack, MADV_DONTNEED);
        m_givenBack = done;
    }
#ifdef MADV_POPULATE_READ
    const std::size_t wanted = std::min(m_size, done + mapAhead);
    if (wanted >= m_mappedIn + mapInStep || (wanted == m_size && wanted > m_mappedIn)) {
        const std::size_t from = std::max(m_mappedIn, done);
        // Systems older than Linux 5.14 refuse this advice; the pages are then mapped as they are read.
        (void)::madvise(const_cast<char*>(m_data) + from, wanted - from, MADV_POPULATE_READ);
        m_mappedIn = wanted;
    }
#endif
}

void MappedFile::readAgain() noexcept {
    m_givenBack = 0;
    m_mappedIn = 0;
}

MappedFile::~MappedFile() {
    if (m_data == nullptr) {
        return;
    }
    ::sigaction(SIGBUS, &m_previous, nullptr);
    mappedSize.store(0);
    mappedStart.store(0);
    ::munmap(const_cast<char*>(m_data), m_size);
}

} // namespace cli
