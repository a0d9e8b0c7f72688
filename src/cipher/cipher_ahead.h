#pragma once

#include "aes.h"
#include "bytes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

namespace cipher {

/// Encrypts plain bytes with a CbcStream, padding included, in pieces of a fixed size taken in order. For a large
/// input the cipher runs on a second thread a few pieces ahead of the reader, so that AES, which cannot be split
/// up in CBC mode, overlaps with whatever the reader does with each piece (Base64, writing, checking).
class CipherAhead {
public:
    /// Inputs smaller than this are encrypted on the calling thread: starting a thread would cost more.
    static constexpr std::size_t backgroundFrom = std::size_t{256} * 1024;

    /// The plain bytes must outlive the object; pieceBytes is a positive multiple of the 16-byte block. The
    /// second thread runs at most aheadPieces pieces ahead of the reader (at least one).
    CipherAhead(ByteView plain, CbcStream cipher, std::size_t pieceBytes, std::uint32_t aheadPieces = 8);
    CipherAhead(const CipherAhead&) = delete;
    CipherAhead& operator=(const CipherAhead&) = delete;
    /// Stops the second thread, if any, and waits for it.
    ~CipherAhead();

    /// The number of pieces: at least one, as even empty input gives a block of padding.
    [[nodiscard]] std::size_t pieceCount() const noexcept { return m_pieceCount; }

    /// The ciphertext of the next piece, valid until release; the last piece ends with the padding. No value when
    /// the cipher fails, or once every piece has been taken.
    [[nodiscard]] std::optional<ByteView> acquire();

    /// Gives the piece last acquired back, so that its room can take another.
    void release() noexcept;

private:
    static constexpr std::size_t failed = ~std::size_t{0};

    void work() noexcept;
    [[nodiscard]] std::size_t encryptPiece(std::size_t index, std::uint8_t* out) noexcept;
    [[nodiscard]] std::uint8_t* slot(std::size_t index) const noexcept;

    ByteView m_plain;
    CbcStream m_cipher;
    std::size_t m_pieceBytes;
    std::size_t m_pieceCount;
    std::uint32_t m_slotCount;
    std::unique_ptr<std::uint8_t[]> m_slots;
    std::unique_ptr<std::size_t[]> m_sizes;
    std::size_t m_next = 0; // the reader's next piece
    bool m_held = false;
    bool m_failed = false;
    // Pieces made and given back, counted modulo 2^32: 32-bit counters are what the system can wait on directly.
    std::atomic<std::uint32_t> m_produced{0};
    std::atomic<std::uint32_t> m_consumed{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace cipher
