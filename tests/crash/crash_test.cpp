#include "crash_notes.h"

#include "cipher/atomic_file.h"
#include "cipher/log.h"
#include "cipher/note_cipher.h"
#include "cipher/note_file.h"
#include "cipher/trace.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
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

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int killCount = 40;
// Stops early on a slow machine rather than run past the test's time-out.
constexpr auto timeBudget = std::chrono::seconds(45);
constexpr int minimumKills = 10;
constexpr std::uint32_t defaultSeed = 20240611;

std::uint32_t seed() {
    const char* text = std::getenv("VELLUMPAD_CRASH_SEED");
    return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : defaultSeed;
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "vellumpad-crash-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    [[nodiscard]] const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

class NullLog final : public cipher::Log {
public:
    void write(std::string_view) override {}
};

// The saver in its own process, started and already saving once its "ready" byte has arrived.
class Saver {
public:
    Saver(const fs::path& target, int firstNote) {
        int ready[2];
        if (::pipe(ready) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, ready[0]);
        std::string program = VELLUMPAD_CRASH_SAVER;
        std::string targetArgument = target.string();
        std::string firstArgument = std::to_string(firstNote);
        char* argv[] = {program.data(), targetArgument.data(), firstArgument.data(), nullptr};
        const int spawned = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ready[1]);
        if (spawned != 0) {
            ::close(ready[0]);
            throw std::runtime_error("could not start " + program);
        }
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
    const std::uint32_t killSeed = seed();
    std::cout << "kill-delay seed " << killSeed << " (VELLUMPAD_CRASH_SEED repeats a run)" << std::endl;
    RecordProperty("seed", std::to_string(killSeed));

    const std::string notes[2] = {crash::note(0), crash::note(1)};
    const ScratchFolder folder;
    const fs::path target = folder.path() / "Large note.vpd";
    NullLog log;
    // The first save completes before any kill, so from here on the target must always exist. The second, warm
    // one is timed, as the saver's are.
    ASSERT_TRUE(cipher::saveEncryptedText(target, notes[0], crash::password, cipher::noteIv, cipher::Trace(), log));
    const auto saveStart = Clock::now();
    ASSERT_TRUE(cipher::saveEncryptedText(target, notes[0], crash::password, cipher::noteIv, cipher::Trace(), log));
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - saveStart);

    // Delays up to two and a half saves land before, inside and between the saver's first saves alike.
    std::mt19937 random(killSeed);
    std::uniform_int_distribution<std::int64_t> delay(0, saveTime.count() * 5 / 2);
    int current = 0;
    int keptEarlier = 0;
    std::string verifiedText[2];
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
        // Each distinct file text is decrypted once; decryption is deterministic, so a text already seen is known.
        int which = fileText.value() == verifiedText[0] ? 0 : fileText.value() == verifiedText[1] ? 1 : -1;
        if (which < 0) {
            const cipher::Result<std::string> note =
                cipher::decryptWhole(fileText.value(), crash::password, cipher::noteIv, cipher::Trace());
            ASSERT_TRUE(note) << "the target is not a whole note: " << note.failure().message;
            which = note.value() == notes[0] ? 0 : note.value() == notes[1] ? 1 : -1;
            ASSERT_GE(which, 0) << "the target decrypts, but to neither note";
            verifiedText[which] = fileText.value();
        }
        keptEarlier += which == current ? 1 : 0;
        current = which;

        bool leftover = false;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder.path())) {
            const std::string name = entry.path().filename().string();
            if (entry.path() == target) {
                continue;
            }
            EXPECT_TRUE(cipher::isTemporarySaveName(name)) << "unexpected file " << name;
            EXPECT_FALSE(name.ends_with(".vpd")) << name;
            leftover = true;
            fs::remove(entry.path());
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
