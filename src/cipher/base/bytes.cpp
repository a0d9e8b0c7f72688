#include "bytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include <openssl/crypto.h>

namespace cipher {

void cleanse(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0) {
        OPENSSL_cleanse(data, size);
    }
}

namespace {

// Keys and passwords are a few dozen bytes; a note is never locked into RAM.
constexpr std::size_t largestLocked = 4096;

} // namespace

void keepOutOfSwap(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0 && size <= largestLocked) {
        // Over the limit this fails with ENOMEM or EPERM and the buffer stays as it was: only wiped.
        (void)::mlock(data, size);
    }
}

void allowSwap(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0 && size <= largestLocked) {
        (void)::munlock(data, size);
    }
}

void cleanseAndGiveBack(void* data, std::size_t size) noexcept {
    cleanse(data, size);
    giveBack(data, size);
}

void giveBack(void* data, std::size_t size) noexcept {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + page - 1) & ~(page - 1);
    const std::uintptr_t last = (start + size) & ~(page - 1);
    if (data != nullptr && last > first) {
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
}

void preferHugePages(void* data, std::size_t size) noexcept {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (start + size) & ~(hugePage - 1);
    if (data != nullptr && last > first) {
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)size;
#endif
}

} // namespace cipher
