#include "interrupted_saves.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

namespace cipher {

namespace {

// A slot is claimed (writing its path), then marked noted; the handler reads only noted slots, so it never sees a
// path half written. Lock-free atomics are safe to read in a signal handler.
enum SlotState : int { freeSlot, claimedSlot, notedSlot };
constexpr std::size_t slotCount = 4;
std::array<std::atomic<int>, slotCount> slotStates{};
std::array<std::array<char, PATH_MAX>, slotCount> slotPaths{};

extern "C" void onEndingSignal(int signal) {
    removeNotedTemporaries();
    ::signal(signal, SIG_DFL);
    // Delivered once the handler returns, as the signal is blocked while it runs.
    ::raise(signal);
}

} // namespace

NotedTemporary::NotedTemporary(const std::string& path) noexcept {
    if (path.size() >= PATH_MAX) {
        return;
    }
    for (std::size_t slot = 0; slot < slotCount; ++slot) {
        int expected = freeSlot;
        if (slotStates[slot].compare_exchange_strong(expected, claimedSlot)) {
            std::memcpy(slotPaths[slot].data(), path.c_str(), path.size() + 1);
            slotStates[slot].store(notedSlot);
            m_slot = static_cast<int>(slot);
            return;
        }
    }
}

NotedTemporary::~NotedTemporary() {
    forget();
}

void NotedTemporary::forget() noexcept {
    if (m_slot >= 0) {
        slotStates[static_cast<std::size_t>(m_slot)].store(freeSlot);
        m_slot = -1;
    }
}

void removeNotedTemporaries() noexcept {
    for (std::size_t slot = 0; slot < slotCount; ++slot) {
        if (slotStates[slot].load() == notedSlot) {
            (void)::unlink(slotPaths[slot].data());
        }
    }
}

void removeNotedTemporariesOnSignals(std::initializer_list<int> endingSignals) noexcept {
    for (const int signal : endingSignals) {
        struct sigaction current {};
        // An ignored signal stays ignored: nohup, or a shell's background job, asked for that.
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction handler {};
        handler.sa_handler = onEndingSignal;
        // The other ending signals wait meanwhile, so that the handler never runs twice at once.
        sigfillset(&handler.sa_mask);
        handler.sa_flags = SA_RESTART;
        (void)::sigaction(signal, &handler, nullptr);
    }
}

} // namespace cipher
