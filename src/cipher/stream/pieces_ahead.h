#pragma once

#include "cipher/base/bytes.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace cipher {

/// Makes the pieces of some output in order, one per call.
class PieceMaker {
public:
    virtual ~PieceMaker() = default;
    /// Writes the next piece into out (room for the slot size given to PiecesAhead) and returns its size; 0 once
    /// there are no more pieces, no value on a failure. Not called again after either.
    [[nodiscard]] virtual std::optional<std::size_t> make(std::uint8_t* out) = 0;
};

/// Runs a PieceMaker on a second thread, a bounded number of pieces ahead of the reader, so that making the
/// pieces (AES, which cannot be split up in CBC mode, and Base64) overlaps with whatever the reader does with them
/// (checking, writing, reading back). Without a second thread the pieces are made as they are asked for.
class PiecesAhead {
public:
    enum class Thread { second, calling };
    enum class Content { plain, secret };

    /// Runs at most aheadPieces (at least one) ahead of the reader, in slots of slotBytes each. Secret pieces are
    /// wiped as soon as they are given back.
    PiecesAhead(std::unique_ptr<PieceMaker> maker, std::size_t slotBytes, std::uint32_t aheadPieces, Thread thread,
                Content content);
    PiecesAhead(const PiecesAhead&) = delete;
    PiecesAhead& operator=(const PiecesAhead&) = delete;
    /// Stops the second thread, if any, and waits for it.
    ~PiecesAhead();

    /// The next piece, valid until release; empty once there are no more, no value once the maker has failed.
    [[nodiscard]] std::optional<ByteView> acquire();

    /// Gives the piece last acquired back, so that its slot can take another.
    void release() noexcept;

private:
    static constexpr std::size_t failed = ~std::size_t{0};

    void work() noexcept;
    [[nodiscard]] std::size_t makeInto(std::uint8_t* out) noexcept;
    [[nodiscard]] std::uint8_t* slot(std::size_t index) const noexcept;

    std::unique_ptr<PieceMaker> m_maker;
    std::size_t m_slotBytes;
    std::uint32_t m_slotCount;
    Content m_content;
    std::unique_ptr<std::uint8_t[]> m_slots;
    std::unique_ptr<std::size_t[]> m_sizes;
    std::size_t m_next = 0; // the reader's next piece
    std::size_t m_heldSize = 0;
    bool m_held = false;
    bool m_over = false; // the end or a failure has been handed out
    // The hand-off between the two threads: pieces made, pieces given back, and whether the reader has gone.
    std::mutex m_mutex;
    std::condition_variable m_pieceMade;
    std::condition_variable m_slotFreed;
    std::size_t m_produced = 0;
    std::size_t m_consumed = 0;
    bool m_stop = false;
    std::thread m_thread;
};

/// Work below this many bytes is done on the calling thread: a thread would cost more to start than it saves.
inline constexpr std::size_t secondThreadFrom = std::size_t{256} * 1024;

/// Whether a second thread is worth starting for this much work: not for a small note, nor on one processor.
[[nodiscard]] PiecesAhead::Thread threadFor(std::size_t bytes) noexcept;

} // namespace cipher
