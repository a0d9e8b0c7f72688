#include "pieces_ahead.h"

#ifdef __linux__
#include <sched.h>
#endif

#include <algorithm>
#include <system_error>
#include <utility>

namespace cipher {

namespace {

// How many processors this process may run on: fewer than the machine has under taskset or in a container.
unsigned usableProcessors() noexcept {
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        return static_cast<unsigned>(CPU_COUNT(&allowed));
    }
#endif
    return std::thread::hardware_concurrency();
}

} // namespace

PiecesAhead::Thread threadFor(std::size_t bytes) noexcept {
    return bytes >= secondThreadFrom && usableProcessors() > 1 ? PiecesAhead::Thread::second
                                                               : PiecesAhead::Thread::calling;
}

PiecesAhead::PiecesAhead(std::unique_ptr<PieceMaker> maker, std::size_t slotBytes, std::uint32_t aheadPieces,
                         Thread thread, Content content)
    : m_maker(std::move(maker)), m_slotBytes(slotBytes),
      m_slotCount(thread == Thread::second ? std::max<std::uint32_t>(aheadPieces, 1) : 1), m_content(content) {
    // Left uninitialised: a slot's memory is first touched when a piece is made in it.
    m_slots.reset(new std::uint8_t[m_slotCount * m_slotBytes]);
    preferHugePages(m_slots.get(), m_slotCount * m_slotBytes);
    m_sizes.reset(new std::size_t[m_slotCount]);
    if (thread == Thread::second) {
        try {
            m_thread = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the pieces are then made on the calling thread, just more slowly.
            m_slotCount = 1;
        }
    }
}

PiecesAhead::~PiecesAhead() {
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_slotFreed.notify_one();
        m_thread.join();
        // Pieces made but never given back are wiped; the rest were wiped when given back, and slots never
        // used were never touched.
        if (m_content == Content::secret) {
            for (std::size_t index = m_next; index != m_produced; ++index) {
                const std::size_t size = m_sizes[index % m_slotCount];
                cleanse(slot(index), size == failed ? 0 : size);
            }
        }
    } else if (m_content == Content::secret && m_held) {
        cleanse(slot(m_next), m_heldSize);
    }
}

std::uint8_t* PiecesAhead::slot(std::size_t index) const noexcept {
    return m_slots.get() + index % m_slotCount * m_slotBytes;
}

std::size_t PiecesAhead::makeInto(std::uint8_t* out) noexcept {
    try {
        return m_maker->make(out).value_or(failed);
    } catch (...) {
        // Nothing may escape a thread; a maker that throws (out of memory) has failed.
        return failed;
    }
}

void PiecesAhead::work() noexcept {
    for (std::size_t index = 0;; ++index) {
        {
            std::unique_lock lock(m_mutex);
            m_slotFreed.wait(lock, [&] { return m_stop || index - m_consumed < m_slotCount; });
            if (m_stop) {
                return;
            }
        }
        // The slot and its size are the maker's alone until m_produced passes them, under the lock.
        const std::size_t size = makeInto(slot(index));
        m_sizes[index % m_slotCount] = size;
        {
            const std::lock_guard lock(m_mutex);
            m_produced = index + 1;
        }
        m_pieceMade.notify_one();
        if (size == 0 || size == failed) {
            return;
        }
    }
}

std::optional<ByteView> PiecesAhead::acquire() {
    if (m_held) {
        return ByteView(slot(m_next), m_heldSize);
    }
    if (m_over) {
        return m_heldSize == failed ? std::nullopt : std::optional<ByteView>(ByteView());
    }
    std::size_t size = 0;
    if (m_thread.joinable()) {
        std::unique_lock lock(m_mutex);
        m_pieceMade.wait(lock, [&] { return m_produced != m_next; });
        size = m_sizes[m_next % m_slotCount];
    } else {
        size = makeInto(slot(m_next));
    }
    m_heldSize = size;
    if (size == 0 || size == failed) {
        m_over = true;
        return size == failed ? std::nullopt : std::optional<ByteView>(ByteView());
    }
    m_held = true;
    return ByteView(slot(m_next), size);
}

void PiecesAhead::release() noexcept {
    if (!m_held) {
        return;
    }
    if (m_content == Content::secret) {
        cleanse(slot(m_next), m_heldSize);
    }
    m_held = false;
    ++m_next;
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_consumed = m_next;
        }
        m_slotFreed.notify_one();
    }
}

} // namespace cipher
