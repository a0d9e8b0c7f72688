#include "../cipher/test_support.h"

#include "cipher/base/log.h"
#include "cipher/files/atomic_file.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/note/trace.h"
#include "support/memory_log.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int killCount = 40;
// Stops early on a slow machine rather than run past the test's time-out.
constexpr auto timeBudget = std::chrono::seconds(45);
constexpr int minimumKills = 10;
constexpr const char* password = "crash test";

// One of two large notes that differ in size and content, so that a mix of the two can never pass for either.
std::string note(int which) {
    const std::string line = which == 0 ? "the first note, plain ASCII text\n" : "la seconde note, été 名称未設定\n";
    std::string text;
    while (text.size() < (which == 0 ? 9'000'000U : 11'000'000U)) {
        text += line;
    }
    return text;
}

// Saves the notes over the target in a child process, alternately and starting with the given one, until killed.
pid_t startSaver(const fs::path& target, const std::string (&notes)[2], int first) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        cipher::MemoryLog log;
        for (int which = first;; which = 1 - which) {
            const auto saved = cipher::saveEncryptedText(target, notes[which], cipher::NoteFormat(password), log);
            if (!saved) {
                std::fprintf(stderr, "cause %d\n", static_cast<int>(saved.failure().cause));
                ::_exit(1);
            }
        }
    }
    return pid;
}

TEST(CrashDuringSave, TargetIsAlwaysOneWholeNoteAndLeftoversAreMarkedTemporary) {
    const char* seedText = std::getenv("VELLUMPAD_CRASH_SEED");
    const auto killSeed =
        static_cast<std::uint32_t>(seedText != nullptr ? std::strtoul(seedText, nullptr, 10) : 20240611);
    std::cout << "kill-delay seed " << killSeed << " (VELLUMPAD_CRASH_SEED repeats a run)" << std::endl;

    cipher::MemoryLog log;
    const std::string notes[2] = {note(0), note(1)};
    // Encryption is deterministic, so a whole note on disk is exactly one of these file texts.
    const std::string fileTexts[2] = {*cipher::encrypt(notes[0], cipher::NoteFormat(password), log),
                                      *cipher::encrypt(notes[1], cipher::NoteFormat(password), log)};
    const cipher::test::TempDir folder;
    const fs::path target = folder / "Large note.vpd";
    // The first save completes before any kill, so from here on the target must always exist. The second, warm
    // one is timed, as the saver's are.
    ASSERT_TRUE(cipher::saveEncryptedText(target, notes[0], cipher::NoteFormat(password), log));
    const auto saveStart = Clock::now();
    ASSERT_TRUE(cipher::saveEncryptedText(target, notes[0], cipher::NoteFormat(password), log));
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - saveStart);

    // Delays up to two and a half saves land before, inside and between the saver's first saves alike.
    std::mt19937 random(killSeed);
    std::uniform_int_distribution<std::int64_t> delay(0, saveTime.count() * 5 / 2);
    int current = 0;
    int keptEarlier = 0;
    int killsLeavingTemporaries = 0;
    std::set<std::string> leftBefore{target.filename().string()};
    int kills = 0;
    const auto testStart = Clock::now();
    for (; kills < killCount && Clock::now() - testStart < timeBudget; ++kills) {
        SCOPED_TRACE("kill " + std::to_string(kills + 1));
        // The saver starts with the note the target does not hold, so that its first save changes the file.
        const pid_t saver = startSaver(target, notes, 1 - current);
        ASSERT_GT(saver, 0) << "the saver did not start";
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(saver, SIGKILL);
        int status = 0;
        ASSERT_TRUE(::waitpid(saver, &status, 0) == saver && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the saver stopped by itself (its error is above)";

        const cipher::Result<std::string> fileText = cipher::readNoteFile(target);
        ASSERT_TRUE(fileText) << static_cast<int>(fileText.failure().cause);
        const int which = fileText.value() == fileTexts[0] ? 0 : fileText.value() == fileTexts[1] ? 1 : -1;
        ASSERT_GE(which, 0) << "the target is not one whole note";
        keptEarlier += which == current ? 1 : 0;
        current = which;

        // Left in place: the next save of the note removes them.
        const std::vector<std::string> names = folder.names();
        for (const std::string& name : names) {
            if (folder / name != target) {
                EXPECT_TRUE(cipher::isTemporarySaveName(name)) << "unexpected file " << name;
            }
        }
        killsLeavingTemporaries +=
            std::ranges::any_of(names, [&](const std::string& name) { return !leftBefore.contains(name); }) ? 1 : 0;
        leftBefore = {names.begin(), names.end()};
    }
    // However many kills left a temporary file, the next whole save leaves none.
    ASSERT_TRUE(cipher::saveEncryptedText(target, notes[0], cipher::NoteFormat(password), log));
    EXPECT_EQ(folder.names(), std::vector<std::string>{target.filename().string()});

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
