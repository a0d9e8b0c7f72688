#include "../cipher/test_support.h"
#include "crash_notes.h"

#include "cipher/base/log.h"
#include "cipher/files/atomic_file.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/note/trace.h"
#include "support/memory_log.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int killCount = 40;
// Stops early on a slow machine rather than run past the test's time-out.
constexpr auto timeBudget = std::chrono::seconds(45);
constexpr int minimumKills = 10;

// The saver in its own process, started and already saving once its "ready" byte has arrived.
class Saver {
public:
    Saver(const fs::path& target, int firstNote) {
        int ready[2];
        if (::pipe(ready) != 0 || (m_pid = ::fork()) < 0) {
            throw std::runtime_error("could not start the saver");
        }
        if (m_pid == 0) {
            ::dup2(ready[1], STDOUT_FILENO);
            ::execl(VELLUMPAD_CRASH_SAVER, VELLUMPAD_CRASH_SAVER, target.c_str(), firstNote == 0 ? "0" : "1", nullptr);
            ::_exit(127);
        }
        ::close(ready[1]);
        m_ready = ready[0];
    }
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;
    ~Saver() {
        ::close(m_ready);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    [[nodiscard]] bool waitUntilReady() const {
        pollfd entry{m_ready, POLLIN, 0};
        char byte = 0;
        return ::poll(&entry, 1, 20'000) == 1 && ::read(m_ready, &byte, 1) == 1;
    }

    /// Kills the saver; true when it was still running, so that the kill is what ended it.
    [[nodiscard]] bool kill() {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        const pid_t ended = ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return ended > 0 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    pid_t m_pid = -1;
    int m_ready = -1;
};

TEST(CrashDuringSave, TargetIsAlwaysOneWholeNoteAndLeftoversAreMarkedTemporary) {
    const char* seedText = std::getenv("VELLUMPAD_CRASH_SEED");
    const auto killSeed =
        static_cast<std::uint32_t>(seedText != nullptr ? std::strtoul(seedText, nullptr, 10) : 20240611);
    std::cout << "kill-delay seed " << killSeed << " (VELLUMPAD_CRASH_SEED repeats a run)" << std::endl;

    cipher::MemoryLog log;
    const std::string notes[2] = {crash::note(0), crash::note(1)};
    // Encryption is deterministic, so a whole note on disk is exactly one of these file texts.
    const std::string fileTexts[2] = {*cipher::encrypt(notes[0], crash::password, cipher::noteIv, {}, log),
                                      *cipher::encrypt(notes[1], crash::password, cipher::noteIv, {}, log)};
    const cipher::test::TempDir folder;
    const fs::path target = folder / "Large note.vpd";
    // The first save completes before any kill, so from here on the target must always exist. The second, warm
    // one is timed, as the saver's are.
    ASSERT_TRUE(cipher::saveEncryptedText(target, notes[0], crash::password, cipher::noteIv, {}, log));
    const auto saveStart = Clock::now();
    ASSERT_TRUE(cipher::saveEncryptedText(target, notes[0], crash::password, cipher::noteIv, {}, log));
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - saveStart);

    // Delays up to two and a half saves land before, inside and between the saver's first saves alike.
    std::mt19937 random(killSeed);
    std::uniform_int_distribution<std::int64_t> delay(0, saveTime.count() * 5 / 2);
    int current = 0;
    int keptEarlier = 0;
    int killsLeavingTemporaries = 0;
    int kills = 0;
    const auto testStart = Clock::now();
    for (; kills < killCount && Clock::now() - testStart < timeBudget; ++kills) {
        SCOPED_TRACE("kill " + std::to_string(kills + 1));
        // The saver starts with the note the target does not hold, so that its first save changes the file.
        Saver saver(target, 1 - current);
        ASSERT_TRUE(saver.waitUntilReady()) << "the saver did not start";
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ASSERT_TRUE(saver.kill()) << "the saver stopped by itself (its error is above)";

        const cipher::Result<std::string> fileText = cipher::readNoteFile(target);
        ASSERT_TRUE(fileText) << fileText.failure().message;
        const int which = fileText.value() == fileTexts[0] ? 0 : fileText.value() == fileTexts[1] ? 1 : -1;
        ASSERT_GE(which, 0) << "the target is not one whole note";
        keptEarlier += which == current ? 1 : 0;
        current = which;

        bool leftover = false;
        for (const std::string& name : folder.names()) {
            if (folder / name != target) {
                EXPECT_TRUE(cipher::isTemporarySaveName(name)) << "unexpected file " << name;
                leftover = true;
                fs::remove(folder / name);
            }
        }
        killsLeavingTemporaries += leftover ? 1 : 0;
    }

    std::cout << kills << " kills (one save took " << saveTime.count() / 1000
              << " ms): the target held the earlier note " << keptEarlier << " times, the new one "
              << kills - keptEarlier << " times; " << killsLeavingTemporaries << " kills left a temporary file"
              << std::endl;
    EXPECT_GE(kills, minimumKills);
    // Without these the kills never met a finished save or an unfinished one, and the test proved nothing.
    EXPECT_GT(keptEarlier, 0);
    EXPECT_GT(kills - keptEarlier, 0);
    EXPECT_GT(killsLeavingTemporaries, 0);
}

} // namespace
