#include "pieces_ahead.h"

#ifdef __linux__
#include <sched.h>
#endif

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

namespace cipher {

namespace {

// While the other thread runs on another processor, a wait spins for up to this long before it sleeps. That
// thread hands over a piece every few dozen microseconds; waking a sleeper would cost it a system call each
// time, and a processor left idle by a sleeper may take the other thread over, leaving both to share it.
constexpr std::chrono::microseconds spinFor{3000};
// Otherwise a wait spins only this many times: sharing one processor, spinning only keeps the other thread
// waiting; and after a wait that outlasted the long spin, the other thread is held up (by a slow disk, say),
// and spinning through each of its pieces would only burn a processor.
constexpr int shortSpin = 256;

void pause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// The processor the calling thread runs on, or -1 where that cannot be known.
int currentProcessor() noexcept {
#ifdef __linux__
    return ::sched_getcpu();
#else
    return -1;
#endif
}

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

// Moves the calling thread off the given processor, where the process may run elsewhere, and leaves it free to
// move again. A new thread starts beside its creator, and the system can take many milliseconds to move it to
// an idle processor; the two threads would take turns on one meanwhile.
void moveAwayFrom(int processor) noexcept {
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (processor < 0 || processor >= CPU_SETSIZE || ::sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
        return;
    }
    const auto index = static_cast<std::size_t>(processor);
    if (!CPU_ISSET(index, &allowed) || CPU_COUNT(&allowed) < 2) {
        return;
    }
    cpu_set_t elsewhere = allowed;
    CPU_CLR(index, &elsewhere);
    if (::sched_setaffinity(0, sizeof elsewhere, &elsewhere) == 0) {
        (void)::sched_setaffinity(0, sizeof allowed, &allowed);
    }
#else
    (void)processor;
#endif
}

// Waits until the counter differs from seen, and returns it. The calling thread runs on processor own; the other
// thread notes where it runs as it goes, so that the wait can tell whether it runs beside or on the same one.
// spinLong is the calling thread's own: whether its last wait took less than the long spin.
std::uint32_t waitForChange(const std::atomic<std::uint32_t>& counter, std::uint32_t seen, int own,
                            const std::atomic<int>& otherProcessor, bool& spinLong) noexcept {
    const auto start = std::chrono::steady_clock::now();
    for (int spun = 0;; spun += 64) {
        for (int spin = 0; spin < 64; ++spin) {
            const std::uint32_t now = counter.load(std::memory_order_acquire);
            if (now != seen) {
                spinLong = true;
                return now;
            }
            pause();
        }
        const int other = otherProcessor.load(std::memory_order_relaxed);
        const bool apart = own >= 0 && other >= 0 && own != other;
        if (spun >= shortSpin && (!spinLong || !apart || std::chrono::steady_clock::now() - start >= spinFor)) {
            break;
        }
    }
    counter.wait(seen, std::memory_order_acquire);
    spinLong = std::chrono::steady_clock::now() - start < spinFor;
    return counter.load(std::memory_order_acquire);
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
            m_thread = std::thread([this, creator = currentProcessor()] {
                moveAwayFrom(creator);
                m_makerProcessor.store(currentProcessor(), std::memory_order_relaxed);
                work();
            });
        } catch (const std::system_error&) {
            // No thread to be had: the pieces are then made on the calling thread, just more slowly.
            m_slotCount = 1;
        }
    }
}

PiecesAhead::~PiecesAhead() {
    if (m_thread.joinable()) {
        m_stop.store(true, std::memory_order_release);
        // Any change wakes a worker waiting for room; it then sees the stop.
        m_consumed.fetch_add(1, std::memory_order_acq_rel);
        m_consumed.notify_one();
        m_thread.join();
        // Pieces made but never given back are wiped; the rest were wiped when given back, and slots never
        // used were never touched.
        if (m_content == Content::secret) {
            const std::uint32_t produced = m_produced.load(std::memory_order_acquire);
            for (std::size_t index = m_next; static_cast<std::uint32_t>(index) != produced; ++index) {
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
    std::uint32_t consumed = m_consumed.load(std::memory_order_acquire);
    for (std::size_t index = 0;; ++index) {
        while (static_cast<std::uint32_t>(index) - consumed >= m_slotCount) {
            if (m_stop.load(std::memory_order_acquire)) {
                return;
            }
            consumed = waitForChange(m_consumed, consumed, m_makerProcessor.load(std::memory_order_relaxed),
                                     m_readerProcessor, m_makerSpinsLong);
        }
        if (m_stop.load(std::memory_order_acquire)) {
            return;
        }
        const std::size_t size = makeInto(slot(index));
        // The system may yet put both threads on one processor, and take many milliseconds to part them again.
        int processor = currentProcessor();
        if (processor >= 0 && processor == m_readerProcessor.load(std::memory_order_relaxed)) {
            moveAwayFrom(processor);
            processor = currentProcessor();
        }
        m_makerProcessor.store(processor, std::memory_order_relaxed);
        m_sizes[index % m_slotCount] = size;
        m_produced.store(static_cast<std::uint32_t>(index + 1), std::memory_order_release);
        m_produced.notify_one();
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
        const int processor = currentProcessor();
        m_readerProcessor.store(processor, std::memory_order_relaxed);
        std::uint32_t produced = m_produced.load(std::memory_order_acquire);
        while (produced == static_cast<std::uint32_t>(m_next)) {
            produced = waitForChange(m_produced, produced, processor, m_makerProcessor, m_readerSpinsLong);
        }
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
        m_consumed.store(static_cast<std::uint32_t>(m_next), std::memory_order_release);
        m_consumed.notify_one();
    }
}

} // namespace cipher
