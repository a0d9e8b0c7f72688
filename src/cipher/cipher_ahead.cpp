#include "cipher_ahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace cipher {

namespace {

constexpr std::size_t blockSize = 16;

// Waits until the counter differs from seen. The other thread usually needs a few microseconds more, so a short
// spin first saves most waits from the system call that would sleep and the one that would wake them.
std::uint32_t waitForChange(const std::atomic<std::uint32_t>& counter, std::uint32_t seen) noexcept {
    for (int spin = 0; spin < 4096; ++spin) {
        const std::uint32_t now = counter.load(std::memory_order_acquire);
        if (now != seen) {
            return now;
        }
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    counter.wait(seen, std::memory_order_acquire);
    return counter.load(std::memory_order_acquire);
}

} // namespace

CipherAhead::CipherAhead(ByteView plain, CbcStream cipher, std::size_t pieceBytes, std::uint32_t aheadPieces)
    : m_plain(plain), m_cipher(std::move(cipher)), m_pieceBytes(pieceBytes),
      m_pieceCount(std::max<std::size_t>(1, (plain.size() + pieceBytes - 1) / pieceBytes)), m_slotCount(1) {
    const bool background = plain.size() >= backgroundFrom && std::thread::hardware_concurrency() > 1;
    if (background) {
        m_slotCount = static_cast<std::uint32_t>(std::clamp<std::size_t>(aheadPieces, 1, m_pieceCount));
    }
    // Left uninitialised: a slot's memory is first touched when the cipher writes into it.
    m_slots.reset(new std::uint8_t[m_slotCount * (pieceBytes + blockSize)]);
    m_sizes.reset(new std::size_t[m_slotCount]);
    if (background) {
        try {
            m_thread = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the pieces are then made on the calling thread, just more slowly.
            m_slotCount = 1;
        }
    }
}

CipherAhead::~CipherAhead() {
    if (m_thread.joinable()) {
        m_stop.store(true, std::memory_order_release);
        // Any change wakes a worker waiting for room; it then sees the stop.
        m_consumed.fetch_add(1, std::memory_order_acq_rel);
        m_consumed.notify_one();
        m_thread.join();
    }
}

std::uint8_t* CipherAhead::slot(std::size_t index) const noexcept {
    return m_slots.get() + index % m_slotCount * (m_pieceBytes + blockSize);
}

std::size_t CipherAhead::encryptPiece(std::size_t index, std::uint8_t* out) noexcept {
    const std::size_t start = index * m_pieceBytes;
    const std::size_t size = std::min(m_pieceBytes, m_plain.size() - start);
    std::optional<std::size_t> produced = m_cipher.update(m_plain.subspan(start, size), out);
    if (produced && index + 1 == m_pieceCount) {
        const std::optional<std::size_t> padding = m_cipher.finish(out + *produced);
        produced = padding ? std::optional<std::size_t>(*produced + *padding) : std::nullopt;
    }
    return produced.value_or(failed);
}

void CipherAhead::work() noexcept {
    std::uint32_t consumed = m_consumed.load(std::memory_order_acquire);
    for (std::size_t index = 0; index < m_pieceCount; ++index) {
        while (static_cast<std::uint32_t>(index) - consumed >= m_slotCount) {
            if (m_stop.load(std::memory_order_acquire)) {
                return;
            }
            consumed = waitForChange(m_consumed, consumed);
        }
        if (m_stop.load(std::memory_order_acquire)) {
            return;
        }
        const std::size_t size = encryptPiece(index, slot(index));
        m_sizes[index % m_slotCount] = size;
        m_produced.store(static_cast<std::uint32_t>(index + 1), std::memory_order_release);
        m_produced.notify_one();
        if (size == failed) {
            return;
        }
    }
}

std::optional<ByteView> CipherAhead::acquire() {
    if (m_failed || m_next == m_pieceCount) {
        return std::nullopt;
    }
    std::size_t size = 0;
    if (m_thread.joinable()) {
        std::uint32_t produced = m_produced.load(std::memory_order_acquire);
        while (produced == static_cast<std::uint32_t>(m_next)) {
            produced = waitForChange(m_produced, produced);
        }
        size = m_sizes[m_next % m_slotCount];
    } else {
        size = encryptPiece(m_next, slot(m_next));
    }
    if (size == failed) {
        m_failed = true;
        return std::nullopt;
    }
    m_held = true;
    return ByteView(slot(m_next), size);
}

void CipherAhead::release() noexcept {
    if (!m_held) {
        return;
    }
    m_held = false;
    ++m_next;
    if (m_thread.joinable()) {
        m_consumed.store(static_cast<std::uint32_t>(m_next), std::memory_order_release);
        m_consumed.notify_one();
    }
}

} // namespace cipher
