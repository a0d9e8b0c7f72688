#include "cli/mapped_file.h"

#include "cli/run.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace cli {

namespace {

// The mapping the handler answers for; lock-free atomics are safe to read in a signal handler.
std::atomic<std::uintptr_t> mappedStart{0};
std::atomic<std::size_t> mappedSize{0};

extern "C" void onBusError(int signal, siginfo_t* info, void*) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const std::uintptr_t start = mappedStart.load();
    if (address >= start && address - start < mappedSize.load()) {
        // Only async-signal-safe calls here.
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
    : m_data(other.m_data), m_size(other.m_size), m_previous(other.m_previous) {
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
