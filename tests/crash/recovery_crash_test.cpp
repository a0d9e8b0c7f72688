// The editor is killed while the user types and while it writes a recovery copy: what is left must be one whole copy,
// encrypted, of a text the user had typed, no older than the last copy the editor finished; and no plaintext may ever
// reach the recovery folder. (Restoring a copy is the recovery tests', through the loader the window tests check byte
// for byte.)
#include "../app/scripted_seams.h"
#include "../cipher/test_support.h"

#include "app/recovery_copy.h"
#include "app/recovery_keeper.h"
#include "cipher/files/recovery_slot.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int killCount = 12;
constexpr int fewestKills = 4;
// Stops early on a slow machine rather than run past the test's time-out, but not before the fewest kills, one of
// them during a copy, have been made: a loaded machine (the sanitizers' build beside others) makes each run slow.
constexpr auto timeBudget = std::chrono::seconds(45);
constexpr auto longestRun = std::chrono::seconds(150);
constexpr const char* marker = "MARKER-5e1d";
constexpr const char* password = "crash test";

// The note the editor opens with, large enough that a copy takes a while to write.
std::string baseNote() {
    std::string text;
    for (int line = 0; text.size() < 6'000'000U; ++line) {
        text += std::string("base line ") + marker + ' ' + std::to_string(line) + '\n';
    }
    return text;
}

// What is typed, piece after piece, at the end of the note.
std::string typedPiece(int i) {
    return std::string("typed ") + marker + ' ' + std::to_string(i) + '\n';
}

// The editor in the child: types at the end of the note without end, and appends "W BYTES" to the reports file for
// every copy finished. Never returns.
[[noreturn]] void runEditor(const fs::path& reports) {
    const int out = ::open(reports.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    int argc = 1;
    char name[10] = "vellumpad";
    char* argv[2] = {name, nullptr};
    QApplication application(argc, argv);
    // The editor over the test seams, with the password stored.
    platform::MemoryPreferences preferences;
    (void)preferences.setString(QString::fromLatin1(platform::passwordKey), QString::fromLatin1(password));
    ScriptedPanels panels;
    ScriptedPrompts prompts;
    cipher::MemoryLog log;
    app::Editor editor(preferences, panels, prompts, log);
    // Wrapping a long note's lines again after every keystroke would slow the typing, not the copies.
    editor.mainWindow().setWordWrap(false);
    editor.mainWindow().show();
    window::ViewController& vc = editor.mainWindow().viewController();
    const std::string base = baseNote();
    vc.setNoteText(QString::fromStdString(base));
    while (vc.isLoading() || vc.myTextView->length() < static_cast<qsizetype>(base.size())) {
        QCoreApplication::processEvents();
    }
    vc.myTextView->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    app::RecoveryKeeper& keeper = editor.recoveryKeeper();
    keeper.setDelays(std::chrono::milliseconds(20), std::chrono::milliseconds(60));
    QObject::connect(&keeper, &app::RecoveryKeeper::copyWritten, [out](qsizetype bytes) {
        const std::string line = "W " + std::to_string(bytes) + '\n';
        (void)!::write(out, line.data(), line.size());
    });
    int next = 0;
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, [&] {
        const std::string piece = typedPiece(next++);
        QTest::keyClicks(vc.myTextView, QString::fromStdString(piece.substr(0, piece.size() - 1)));
        QTest::keyClick(vc.myTextView, Qt::Key_Return);
    });
    typing.start(5);
    QApplication::exec();
    ::_exit(2);
}

// The bytes of the largest copy the child reported as finished; with untilFirst, waits up to 30 s for one. A line
// still being written may read short, which only lowers the bound.
long long largestReported(const fs::path& reports, bool untilFirst) {
    long long largest = -1;
    for (const auto deadline = Clock::now() + std::chrono::seconds(30);;) {
        std::istringstream lines(cipher::test::readFile(reports));
        std::string tag;
        for (long long bytes = 0; lines >> tag >> bytes;) {
            largest = std::max(largest, bytes);
        }
        if (!untilFirst || largest >= 0 || Clock::now() > deadline) {
            return largest;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Returns once the folder holds a temporary file of the atomic writer, or after the time given.
void waitForTemporaryFile(const fs::path& folder, std::chrono::milliseconds longest) {
    const auto deadline = Clock::now() + longest;
    while (Clock::now() < deadline) {
        std::error_code error;
        for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
            if (entry->path().filename().string().starts_with('.')) {
                return;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(CrashWhileTyping, TheCopyLeftIsWholeEncryptedAndATextThatWasTyped) {
    const cipher::test::TempDir state;
    ASSERT_EQ(::setenv("XDG_STATE_HOME", state.path().c_str(), 1), 0);
    const fs::path folder = state / "vellumpad/recovery";
    const std::string base = baseNote();
    std::string typed = base;
    for (int i = 0; typed.size() < base.size() + 4'000'000U; ++i) {
        typed += typedPiece(i);
    }

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayMs(0, 400);
    int kills = 0;
    int killsDuringWrites = 0;
    const auto start = Clock::now();
    const auto enough = [&] {
        const auto spent = Clock::now() - start;
        return kills >= killCount || spent >= longestRun ||
               (spent >= timeBudget && kills >= fewestKills && killsDuringWrites > 0);
    };
    for (; !enough(); ++kills) {
        SCOPED_TRACE("kill " + std::to_string(kills + 1));
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        const fs::path reports = state / "reports";
        fs::remove(reports, ignored);
        const pid_t editor = ::fork();
        if (editor == 0) {
            runEditor(reports);
        }
        long long finished = largestReported(reports, true);
        ASSERT_GE(finished, 0) << "the editor made no copy";
        if (kills % 2 == 1) {
            // Every other kill waits for a copy being written, so that a slow build (the sanitizers') meets one too.
            waitForTemporaryFile(folder, std::chrono::seconds(3));
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random) / 20));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        }
        ::kill(editor, SIGKILL);
        int status = 0;
        ASSERT_TRUE(::waitpid(editor, &status, 0) == editor && WIFSIGNALED(status)) << "the editor stopped by itself";
        finished = std::max(finished, largestReported(reports, false));

        bool leftover = false;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string content = cipher::test::readFile(entry.path());
            EXPECT_EQ(content.find(marker), std::string::npos) << entry.path() << " holds the note in plain text";
            leftover = leftover || entry.path().filename().string().starts_with('.');
        }
        killsDuringWrites += leftover ? 1 : 0;
        const std::vector<std::string> ids = cipher::recoverySlotIds(folder);
        ASSERT_EQ(ids.size(), 1U);
        const cipher::RecoverySlot slot = cipher::recoverySlot(folder, ids.front());
        const cipher::Result<std::string> copy = cipher::openNoteFile(slot.copy, cipher::NoteFormat(password));
        ASSERT_TRUE(copy) << static_cast<int>(copy.failure().cause);
        ASSERT_GE(static_cast<long long>(copy.value().size()), finished) << "the copy is older than the last finished";
        ASSERT_LE(copy.value().size(), typed.size());
        ASSERT_TRUE(copy.value() == typed.substr(0, copy.value().size())) << "the copy is not a text that was typed";
    }
    std::cout << kills << " kills, " << killsDuringWrites << " during a copy" << std::endl;
    EXPECT_GE(kills, fewestKills);
    EXPECT_GT(killsDuringWrites, 0) << "no kill met a copy being written";
}

} // namespace
