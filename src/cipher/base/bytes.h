#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace cipher {

/// Ordered unsigned bytes: the unit of cipher input and output, keys and the initialisation vector.
using Bytes = std::vector<std::uint8_t>;
/// A read-only view of bytes owned elsewhere.
using ByteView = std::span<const std::uint8_t>;

/// Asks the system to back a large buffer, not yet written, with huge pages: first writes to a note of 100 MiB
/// then cost a third of the time. A hint only; small buffers and systems without the feature are left alone.
void preferHugePages(void* data, std::size_t size) noexcept;

/// Asks the system to keep a small buffer (a key, a password) out of swap; silently nothing when the buffer is large
/// or the limit on locked memory (RLIMIT_MEMLOCK) does not allow it.
void keepOutOfSwap(void* data, std::size_t size) noexcept;
/// Undoes keepOutOfSwap for a buffer about to be freed.
void allowSwap(void* data, std::size_t size) noexcept;

/// Allocator that wipes memory (OPENSSL_cleanse) before handing it back, so secrets do not linger on the heap.
/// Growing leaves new bytes uninitialised rather than zero, as they are always written before they are read
/// (a file read into them, a cipher's output), and large buffers get huge pages. Small buffers (keys, passwords) are
/// kept out of swap where the system allows it.
template <class T> struct CleansingAllocator {
    using value_type = T;
    CleansingAllocator() noexcept = default;
    template <class U> CleansingAllocator(const CleansingAllocator<U>&) noexcept {}
    T* allocate(std::size_t count) {
        T* pointer = std::allocator<T>{}.allocate(count);
        preferHugePages(pointer, count * sizeof(T));
        keepOutOfSwap(pointer, count * sizeof(T));
        return pointer;
    }
    void deallocate(T* pointer, std::size_t count) noexcept;
    template <class U> void construct(U* pointer) noexcept { ::new (static_cast<void*>(pointer)) U; }
    template <class U> bool operator==(const CleansingAllocator<U>&) const noexcept { return true; }
};

/// Bytes that are wiped before their memory is released: keys, plaintext, decrypted bytes.
using SecureBytes = std::vector<std::uint8_t, CleansingAllocator<std::uint8_t>>;

/// Wipes a region of memory in a way the compiler cannot optimise away.
void cleanse(void* data, std::size_t size) noexcept;
/// Gives the whole pages inside a region of a buffer that is still in use back to the system; they read as zeros if
/// touched again.
void giveBack(void* data, std::size_t size) noexcept;
/// Wipes a region of a buffer that is still in use, then gives its pages back.
void cleanseAndGiveBack(void* data, std::size_t size) noexcept;

template <class T> void CleansingAllocator<T>::deallocate(T* pointer, std::size_t count) noexcept {
    cleanse(pointer, count * sizeof(T));
    allowSwap(pointer, count * sizeof(T));
    std::allocator<T>{}.deallocate(pointer, count);
}

/// Views the bytes of a text (UTF-8 in this code base) without copying.
inline ByteView asBytes(std::string_view text) noexcept {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

/// Views bytes as characters without copying.
inline std::string_view asText(ByteView bytes) noexcept {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

/// Whether the piece is what follows the first `matched` characters of expected; if so, matched moves past it.
/// Compares what is decrypted or read back with what it must be, a piece at a time.
inline bool matchesNext(std::string_view expected, std::size_t& matched, std::string_view piece) noexcept {
    if (piece.size() > expected.size() - matched || expected.substr(matched, piece.size()) != piece) {
        return false;
    }
    matched += piece.size();
    return true;
}

} // namespace cipher
