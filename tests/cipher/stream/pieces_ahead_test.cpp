#include "cipher/stream/pieces_ahead.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <thread>

namespace cipher {
namespace {

constexpr std::size_t pieceSize = 64;

// What the reader has seen, shared with the maker so that it can check it never overtakes the reader by more
// than the slots allow, and count what it was asked for.
struct Progress {
    std::atomic<std::size_t> released{0};
    std::atomic<std::size_t> made{0};
    std::atomic<bool> overtook{false};
};

enum class Ending { end, failure, exception };

// Makes numbered pieces, each filled with its number modulo 251 (the last piece shorter), then ends as told.
class NumberedPieces final : public PieceMaker {
public:
    NumberedPieces(std::size_t count, Ending ending, std::size_t slots, Progress& progress)
        : m_count(count), m_ending(ending), m_slots(slots), m_progress(progress) {}

    std::optional<std::size_t> make(std::uint8_t* out) override {
        const std::size_t index = m_progress.made.fetch_add(1);
        if (index >= m_progress.released.load() + m_slots) {
            m_progress.overtook = true;
        }
        if (index == m_count) {
            if (m_ending == Ending::exception) {
                throw std::bad_alloc();
            }
            return m_ending == Ending::end ? std::optional<std::size_t>(0) : std::nullopt;
        }
        // Gives the other thread a chance to catch up, so that both full and empty rings are met.
        if (index % 7 == 0) {
            std::this_thread::yield();
        }
        const std::size_t size = index + 1 == m_count ? pieceSize / 2 : pieceSize;
        std::fill_n(out, size, static_cast<std::uint8_t>(index % 251));
        return size;
    }

private:
    std::size_t m_count;
    Ending m_ending;
    std::size_t m_slots;
    Progress& m_progress;
};

bool isPiece(std::optional<ByteView> piece, std::size_t index, std::size_t count) {
    const std::size_t size = index + 1 == count ? pieceSize / 2 : pieceSize;
    return piece && piece->size() == size &&
           std::all_of(piece->begin(), piece->end(), [&](std::uint8_t byte) { return byte == index % 251; });
}

// Every piece in order and whole, however the two threads meet, the maker never more than its slots ahead; then
// the end, a failure or a maker's exception, reported again on every later call.
TEST(PiecesAhead, HandsOverEveryPieceInOrderThenHowItEnded) {
    for (const auto thread : {PiecesAhead::Thread::second, PiecesAhead::Thread::calling}) {
        for (const std::uint32_t ahead : {1U, 2U, 8U}) {
            for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{ahead}, std::size_t{2000}}) {
                for (const auto ending : {Ending::end, Ending::failure, Ending::exception}) {
                    for (const auto content : {PiecesAhead::Content::plain, PiecesAhead::Content::secret}) {
                        const std::size_t slots = thread == PiecesAhead::Thread::second ? ahead : 1;
                        Progress progress;
                        PiecesAhead pieces(std::make_unique<NumberedPieces>(count, ending, slots, progress), pieceSize,
                                           ahead, thread, content);
                        const auto where = ::testing::Message()
                                           << "thread " << static_cast<int>(thread) << " ahead " << ahead << " count "
                                           << count << " ending " << static_cast<int>(ending);
                        for (std::size_t index = 0; index < count; ++index) {
                            ASSERT_TRUE(isPiece(pieces.acquire(), index, count)) << where << " piece " << index;
                            // Asked again before it is given back: the same piece, still untouched.
                            if (index % 3 == 0) {
                                std::this_thread::yield();
                                ASSERT_TRUE(isPiece(pieces.acquire(), index, count)) << where << " piece " << index;
                            }
                            progress.released = index + 1;
                            pieces.release();
                        }
                        for (int again = 0; again < 2; ++again) {
                            const std::optional<ByteView> last = pieces.acquire();
                            EXPECT_EQ(last.has_value(), ending == Ending::end) << where;
                            EXPECT_TRUE(!last || last->empty()) << where;
                            pieces.release();
                        }
                        EXPECT_EQ(progress.made.load(), count + 1) << where;
                        EXPECT_FALSE(progress.overtook.load()) << where;
                    }
                }
            }
        }
    }
}

// Confined to one processor (by taskset, or in a container), a large note is worked on the calling thread; a
// second thread made to run there anyway must still hand over every piece in order, taking turns with the reader.
TEST(PiecesAhead, OnOneProcessorRunsOnTheCallingThreadOrTakesTurns) {
    cpu_set_t allowed;
    ASSERT_EQ(::sched_getaffinity(0, sizeof allowed, &allowed), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(static_cast<std::size_t>(::sched_getcpu()), &one);
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    const std::shared_ptr<void> restore(nullptr, [&](void*) { ::sched_setaffinity(0, sizeof allowed, &allowed); });

    EXPECT_EQ(threadFor(std::size_t{100} << 20), PiecesAhead::Thread::calling);
    constexpr std::size_t count = 3000;
    Progress progress;
    PiecesAhead pieces(std::make_unique<NumberedPieces>(count, Ending::end, 8, progress), pieceSize, 8,
                       PiecesAhead::Thread::second, PiecesAhead::Content::plain);
    for (std::size_t index = 0; index < count; ++index) {
        ASSERT_TRUE(isPiece(pieces.acquire(), index, count)) << index;
        progress.released = index + 1;
        pieces.release();
    }
    EXPECT_TRUE(pieces.acquire()->empty());
}

} // namespace
} // namespace cipher
