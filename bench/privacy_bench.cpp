// What the running editor holds of a note: copies of a typed marker word in the process's memory while the note is
// open, after File > New and after File > Lock (UTF-8 and UTF-16, with the kind of mapping each copy is in), and how
// long Lock and Unlock take with a large note. Runs offscreen through the real window and actions.
//   vellumpad_privacy_bench [--megabytes N] [--runs N] [--keep-freed]

#include "app/editor.h"
#include "bench_seams.h"
#include "cipher/base/core_dumps.h"
#include "support/memory_log.h"
#include "support/memory_preferences.h"
#include "window/find_bar.h"
#include "window/note_text_view.h"
#include "window/view_controller.h"
#if __has_include("window/note_lock.h")
#include "window/note_lock.h"
#define VELLUMPAD_HAS_LOCK 1
#endif

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The marker is kept only shifted by one, so that the program's own copy of it is never counted.
constexpr char shiftedMarker[] = "[fqizsrvpllb";

char markerAt(std::size_t i) {
    return static_cast<char>(shiftedMarker[i] - 1);
}

struct Copies {
    std::map<std::string, int> utf8;
    std::map<std::string, int> utf16;
};

// Scans every readable mapping of this process a piece at a time through /proc/self/mem, which skips what cannot be
// read. The pieces go to a mapping of their own, left out of the scan and unmapped after it, so that the scan finds
// neither its needles nor its own copies.
Copies scan() {
    char utf8[sizeof shiftedMarker - 1];
    char utf16[2 * sizeof utf8];
    for (std::size_t i = 0; i < sizeof utf8; ++i) {
        utf8[i] = markerAt(i);
        utf16[2 * i] = markerAt(i);
        utf16[2 * i + 1] = '\0';
    }
    const std::string_view needles[] = {{utf8, sizeof utf8}, {utf16, sizeof utf16}};
    constexpr std::size_t piece = std::size_t{1} << 20;
    const std::size_t overlap = sizeof utf16;
    auto* scratch = static_cast<char*>(
        ::mmap(nullptr, piece + overlap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    const auto scratchStart = reinterpret_cast<std::uintptr_t>(scratch);
    Copies copies;
    std::ifstream maps("/proc/self/maps");
    const int memory = ::open("/proc/self/mem", O_RDONLY);
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string range, permissions, offset, device, inode, name;
        fields >> range >> permissions >> offset >> device >> inode;
        std::getline(fields >> std::ws, name);
        const std::size_t dash = range.find('-');
        const std::uintptr_t start = std::stoull(range.substr(0, dash), nullptr, 16);
        const std::uintptr_t end = std::stoull(range.substr(dash + 1), nullptr, 16);
        if (permissions[0] != 'r' || name == "[vvar]" || name == "[vsyscall]" || start == scratchStart) {
            continue;
        }
        const std::string kind = name.empty() ? "anonymous" : name.substr(name.rfind('/') + 1);
        for (std::uintptr_t at = start; at < end; at += piece) {
            const std::size_t length = std::min<std::size_t>(piece + overlap, end - at);
            const ssize_t got = ::pread(memory, scratch, length, static_cast<off_t>(at));
            if (got <= 0) {
                continue;
            }
            const std::string_view bytes(scratch, static_cast<std::size_t>(got));
            for (int which = 0; which < 2; ++which) {
                const std::string_view needle = needles[which];
                for (std::size_t found = bytes.find(needle); found != std::string_view::npos && found < piece;
                     found = bytes.find(needle, found + 1)) {
                    const char* address = reinterpret_cast<const char*>(at + found);
                    if (address != needle.data()) {
                        ++(which == 0 ? copies.utf8 : copies.utf16)[kind];
                    }
                }
            }
        }
    }
    ::close(memory);
    ::munmap(scratch, piece + overlap);
    return copies;
}

void report(const char* moment) {
    const Copies copies = scan();
    const auto line = [](const std::map<std::string, int>& where) {
        int total = 0;
        std::string detail;
        for (const auto& [kind, count] : where) {
            total += count;
            detail += " " + kind + ":" + std::to_string(count);
        }
        return std::to_string(total) + (detail.empty() ? "" : " (" + detail.substr(1) + ")");
    };
    std::printf("%-34s UTF-8 %s; UTF-16 %s\n", moment, line(copies.utf8).c_str(), line(copies.utf16).c_str());
}

// Types the marker and a few words one key at a time, as a user would.
void typeMarker(QWidget* into) {
    for (std::size_t i = 0; i + 1 < sizeof shiftedMarker; ++i) {
        QTest::keyClick(into, markerAt(i));
    }
    QTest::keyClicks(into, QStringLiteral(" and other words "));
}

[[maybe_unused]] double ms(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    // As the program does; --keep-freed shows what freed memory would hold without it.
    if (std::find_if(argv, argv + argc, [](const char* a) { return std::string(a) == "--keep-freed"; }) ==
        argv + argc) {
        (void)cipher::wipeFreedMemory();
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    long megabytes = 100;
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--megabytes") {
            megabytes = std::stol(argv[++i]);
        } else if (option == "--runs") {
            runs = std::stoi(argv[++i]);
        }
    }

    platform::MemoryPreferences preferences;
    (void)preferences.setString(QStringLiteral("password"), QStringLiteral("bench pass word"));
    bench::OneFilePanels panels;
    bench::DiscardingPrompts prompts;
    cipher::MemoryLog log;
    app::Editor editor(preferences, panels, prompts, log);
    editor.mainWindow().show();
    (void)QTest::qWaitForWindowExposed(&editor.mainWindow());
    window::ViewController& vc = editor.mainWindow().viewController();
    const auto trigger = [&editor](const char* name) {
        editor.mainWindow().findChild<QAction*>(QString::fromLatin1(name))->trigger();
        QTest::qWait(50);
    };

    std::printf("Copies of a typed marker word in this process's memory\n");
    report("at start (none typed)");
    typeMarker(vc.myTextView);
    report("while open");
    trigger("actionNew");
    report("after New");
#ifdef VELLUMPAD_HAS_LOCK
    typeMarker(vc.myTextView);
    trigger("actionFind");
    typeMarker(editor.mainWindow().findChild<QLineEdit*>(QStringLiteral("findField")));
    report("typed again, also in Find");
    trigger("actionLock");
    report("after Lock");
    window::NoteLock& lock = editor.mainWindow().noteLock();
    (void)lock.unlock(QStringLiteral("bench pass word"));
    trigger("actionNew");

    // A note of the given size in lines of words; the window locks and unlocks it whole.
    std::string note;
    note.reserve(static_cast<std::size_t>(megabytes) << 20);
    const std::string line = "The quick brown fox jumps over the lazy dog, café, 日本語 and 😀 again.\n";
    while (note.size() + line.size() <= static_cast<std::size_t>(megabytes) << 20) {
        note += line;
    }
    const std::size_t size = note.size();
    vc.setNoteUtf8(std::move(note));
    vc.finishLoading();
    std::printf("\nLock and Unlock of a %.1f MiB note (ms)\n", static_cast<double>(size) / (1 << 20));
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        (void)editor.locking().lockNow();
        const double locking = ms(timer);
        timer.restart();
        const bool unlocked = lock.unlock(QStringLiteral("bench pass word")) == window::NoteLock::Unlock::Unlocked;
        const double unlocking = ms(timer);
        std::printf("run %d: lock %.0f, unlock %.0f%s\n", run + 1, locking, unlocking,
                    unlocked && static_cast<std::size_t>(vc.myTextView->length()) == size ? "" : " (NOT RESTORED)");
        QTest::qWait(100);
    }
#endif
    return 0;
}
