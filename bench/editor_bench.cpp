// What a user waits for in the editor with a large note: the first screen after Open, the longest the window stops
// answering while the note goes in, until word wrap has gone through the whole note (and the CPU time that took), a
// keystroke in the middle, File > Save, and the memory all that takes. Runs offscreen through the real window, actions
// and Open path. With --one-line the note is a single line (--ascii of ASCII words, --japanese of Japanese without
// spaces). --compare runs each size with the view's run styling and without it, alternately, and prints both.
//   vellumpad_editor_bench [--sizes 1,10,100] [--runs N] [--crlf] [--one-line [--ascii | --japanese]] [--no-wrap]
//   [--compare] [--folder DIR] [--verbose]
// Each size runs in a child process of its own (--run FILE), so that one note's peak memory cannot hide another's.

#include "bench_notes.h"
#include "bench_seams.h"

#include "app/editor.h"
#include "cipher/base/core_dumps.h"
#include "cipher/base/log.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "platform/preferences.h"
#include "support/memory_log.h"
#include "support/memory_preferences.h"
#include "window/note_text_view.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <time.h>

namespace {

constexpr int keystrokes = 7;

using bench::makeNote;
using bench::Shape;

using bench::DiscardingPrompts;
using bench::OneFilePanels;
using bench::password;

// Counts the paint events of the text view's viewport: a paint means the user sees the text as it now is.
struct PaintCounter final : QObject {
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
    int paints = 0;
};

// "VmHWM" or "VmRSS" of this process in KiB.
long statusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return -1;
}

// Lets the peak (VmHWM) start again from the current resident size, so each step gets a peak of its own.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double mib(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

double ms(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Processes events until the viewport has painted at least once more than `before`; false after two minutes. The
// longest single turn of the event loop, when the window answered nothing, goes into longestTurn.
bool waitForPaint(const PaintCounter& counter, int before, double* longestTurn = nullptr) {
    QElapsedTimer patience;
    patience.start();
    while (counter.paints <= before) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (longestTurn != nullptr) {
            *longestTurn = std::max(*longestTurn, ms(turn));
        }
        if (patience.elapsed() > 120000) {
            return false;
        }
    }
    return true;
}

// Whether the view still fills in a note that is being opened. Asked as a property, so that the same benchmark
// also measures an editor that puts the whole note in at once.
bool loading(window::ViewController& vc) {
    return vc.property("loading").toBool();
}

// The CPU time of this process so far.
double cpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void trigger(app::Editor& editor, const char* name) {
    editor.mainWindow().findChild<QAction*>(QString::fromLatin1(name))->trigger();
}

// Whether changed is original with inserted put in at one place.
bool isWithInsertion(std::string_view changed, std::string_view original, std::string_view inserted) {
    if (changed.size() != original.size() + inserted.size()) {
        return false;
    }
    const auto firstDifference = static_cast<std::size_t>(
        std::mismatch(original.begin(), original.end(), changed.begin()).first - original.begin());
    return changed.substr(0, firstDifference) == original.substr(0, firstDifference) &&
           changed.substr(firstDifference, inserted.size()) == inserted &&
           changed.substr(firstDifference + inserted.size()) == original.substr(firstDifference);
}

// The note of size bytes at notePath in this process: prints one line of "key=value" figures.
int runOne(const QString& notePath, std::size_t size, Shape shape, bool wrap, bool runStyling) {
    platform::MemoryPreferences preferences;
    (void)preferences.setString(QString::fromLatin1(platform::passwordKey), QString::fromUtf8(password.data()));
    OneFilePanels panels;
    panels.file = QUrl::fromLocalFile(notePath);
    DiscardingPrompts prompts;
    cipher::MemoryLog log;
    (void)preferences.setString(QStringLiteral("wordWrap"), wrap ? QStringLiteral("true") : QStringLiteral("false"));
    app::Editor editor(preferences, panels, prompts, log);
    editor.mainWindow().show();
    if (!QTest::qWaitForWindowExposed(&editor.mainWindow())) {
        std::fprintf(stderr, "the window was never shown\n");
        return 1;
    }
    window::ViewController& vc = editor.mainWindow().viewController();
    window::NoteTextView* view = vc.myTextView;
    view->setRunStyling(runStyling);
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);
    QCoreApplication::processEvents();

    std::map<std::string, double> figures;
    figures["rss_idle"] = mib(statusKib("VmRSS"));

    resetPeak();
    QElapsedTimer timer;
    int paints = counter.paints;
    timer.start();
    const double cpuAtOpen = cpuMs();
    trigger(editor, "actionOpen");
    // The window answers nothing while a call runs; the longest of them is how long it looks frozen.
    double stall = ms(timer);
    if (!waitForPaint(counter, paints, &stall)) {
        std::fprintf(stderr, "the note was never painted\n");
        return 1;
    }
    figures["first_screen"] = ms(timer);
    figures["first_screen_cpu"] = cpuMs() - cpuAtOpen;
    while (loading(vc)) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        stall = std::max(stall, ms(turn));
    }
    figures["loaded"] = ms(timer);
    figures["stall"] = stall;
    // Scintilla wraps the lines beyond the screen in idle turns of the event loop; the view has settled when a third
    // of a second goes by without a turn that took CPU time.
    double wrapStall = 0;
    double wrapStallCpu = 0;
    double lastBusy = ms(timer);
    double cpuAtLastBusy = cpuMs();
    while (ms(timer) - lastBusy < 300) {
        QElapsedTimer turn;
        turn.start();
        const double cpuBefore = cpuMs();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (cpuMs() - cpuBefore > 1) {
            wrapStall = std::max(wrapStall, ms(turn));
            wrapStallCpu = std::max(wrapStallCpu, cpuMs() - cpuBefore);
            lastBusy = ms(timer);
            cpuAtLastBusy = cpuMs();
        }
    }
    figures["settled"] = lastBusy;
    figures["settle_cpu"] = cpuAtLastBusy - cpuAtOpen;
    figures["wrap_stall"] = wrapStall;
    figures["wrap_stall_cpu"] = wrapStallCpu;
    QCoreApplication::processEvents();
    figures["peak_open"] = mib(statusKib("VmHWM"));
    figures["rss_open"] = mib(statusKib("VmRSS"));
    if (vc.filename != notePath || !vc.problem().isEmpty()) {
        std::fprintf(stderr, "the note did not open: %s\n", qPrintable(vc.problem()));
        return 1;
    }

    resetPeak();
    // The middle of the note, at the start of a character: a keystroke inside one would not be a real user's.
    qsizetype middle = view->length() / 2;
    while ((static_cast<unsigned char>(view->bytes(middle, middle + 1).front()) & 0xC0) == 0x80) {
        --middle;
    }
    paints = counter.paints;
    timer.start();
    view->select(middle, middle);
    view->setFocus();
    waitForPaint(counter, paints);
    figures["jump_to_middle"] = ms(timer);
    figures["rss_after_jump"] = mib(statusKib("VmRSS"));

    std::vector<double> letters;
    std::vector<double> letterCpus;
    for (int i = 0; i < keystrokes; ++i) {
        paints = counter.paints;
        timer.start();
        const double cpuBefore = cpuMs();
        QTest::keyClick(view, 'x');
        waitForPaint(counter, paints);
        letters.push_back(ms(timer));
        letterCpus.push_back(cpuMs() - cpuBefore);
    }
    std::sort(letters.begin(), letters.end());
    std::sort(letterCpus.begin(), letterCpus.end());
    figures["key_median"] = letters[letters.size() / 2];
    figures["key_max"] = letters.back();
    // On a loaded machine the wait for a processor can dwarf the work; the CPU time is the editor's own share.
    figures["key_cpu"] = letterCpus[letterCpus.size() / 2];
    for (auto [name, key] : {std::pair{"key_return", Qt::Key_Return}, std::pair{"key_backspace", Qt::Key_Backspace}}) {
        paints = counter.paints;
        timer.start();
        QTest::keyClick(view, key);
        waitForPaint(counter, paints);
        figures[name] = ms(timer);
    }
    figures["peak_edit"] = mib(statusKib("VmHWM"));

    // Wrapped lines are laid out again when the text gets wider or narrower: what resizing the window costs.
    resetPeak();
    paints = counter.paints;
    timer.start();
    editor.mainWindow().resize(editor.mainWindow().width() + 40, editor.mainWindow().height());
    waitForPaint(counter, paints);
    figures["resize"] = ms(timer);
    figures["peak_resize"] = mib(statusKib("VmHWM"));
    figures["rss_before_save"] = mib(statusKib("VmRSS"));

    resetPeak();
    log.lines.clear();
    timer.start();
    trigger(editor, "actionSave");
    figures["save"] = ms(timer);
    figures["peak_save"] = mib(statusKib("VmHWM"));
    QCoreApplication::processEvents();
    figures["peak_process"] =
        std::max({figures["peak_open"], figures["peak_edit"], figures["peak_resize"], figures["peak_save"]});
    if (log.lines != std::vector<std::string>{"Success!"} || vc.isModified()) {
        std::fprintf(stderr, "the note was not saved\n");
        return 1;
    }

    std::printf("size_bytes=%zu", size);
    for (const auto& [name, value] : figures) {
        std::printf(" %s=%.2f", name.c_str(), value);
    }
    std::printf("\n");

    // Not measured: the saved file must hold the opened note with exactly the typed letters added.
    view->viewport()->removeEventFilter(&counter);
    editor.mainWindow().hide();
    cipher::Result<std::string> saved = cipher::readNoteFile(notePath.toStdString());
    cipher::Result<std::string> savedNote =
        cipher::decryptWhole(saved ? saved.value() : std::string(), cipher::NoteFormat(password));
    const std::string original = makeNote(size, shape);
    if (!savedNote || !isWithInsertion(savedNote.value(), original, std::string(keystrokes, 'x'))) {
        std::fprintf(stderr, "the saved note is not the opened note with the typed letters\n");
        return 1;
    }
    return 0;
}

// Writes the note of size MiB with the core and opens it in a child process; the child's figures, or none.
std::optional<std::map<QString, double>> runChild(const QString& path, int size, Shape shape, bool wrap,
                                                  bool runStyling, bool verbose) {
    {
        const std::string note = makeNote(static_cast<std::size_t>(size) * 1024 * 1024, shape);
        cipher::MemoryLog log;
        if (!cipher::saveEncryptedText(path.toStdString(), note, cipher::NoteFormat(password), log)) {
            std::fprintf(stderr, "could not write the %d MiB note\n", size);
            return std::nullopt;
        }
    }
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--run"), path, QString::number(size), QString::number(static_cast<int>(shape)),
                 wrap ? QStringLiteral("wrap") : QStringLiteral("nowrap"),
                 runStyling ? QStringLiteral("runs") : QStringLiteral("plain")});
    const bool finished = child.waitForFinished(-1) && child.exitStatus() == QProcess::NormalExit;
    QFile::remove(path);
    const QString output = QString::fromUtf8(child.readAllStandardOutput()).simplified();
    // The offscreen platform's notices are noise, unless something went wrong.
    const bool failed = !finished || child.exitCode() != 0;
    if (failed || verbose) {
        std::fprintf(stderr, "%d MiB: %s\n%s", size, qPrintable(output), child.readAllStandardError().constData());
    }
    if (failed) {
        std::fprintf(stderr, "the %d MiB run failed\n", size);
        return std::nullopt;
    }
    std::map<QString, double> figures;
    for (const QString& pair : output.split(u' ')) {
        figures[pair.section(u'=', 0, 0)] = pair.section(u'=', 1).toDouble();
    }
    return figures;
}

// Makes the notes, runs each size in child processes and prints a table of the medians.
int runAll(const QStringList& arguments) {
    std::vector<int> sizes{1, 10, 100};
    int runs = 1;
    bool crlf = false;
    bool oneLine = false;
    bool ascii = false;
    bool japanese = false;
    bool compare = false;
    bool wrap = true;
    bool verbose = false;
    QString folder;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const bool hasValue = i + 1 < arguments.size();
        if (arguments[i] == QLatin1String("--sizes") && hasValue) {
            sizes.clear();
            for (const QString& size : arguments[++i].split(QLatin1Char(','))) {
                sizes.push_back(size.toInt());
            }
        } else if (arguments[i] == QLatin1String("--runs") && hasValue) {
            runs = std::max(1, arguments[++i].toInt());
        } else if (arguments[i] == QLatin1String("--crlf")) {
            crlf = true;
        } else if (arguments[i] == QLatin1String("--one-line")) {
            oneLine = true;
        } else if (arguments[i] == QLatin1String("--ascii")) {
            ascii = true;
        } else if (arguments[i] == QLatin1String("--japanese")) {
            japanese = true;
        } else if (arguments[i] == QLatin1String("--compare")) {
            compare = true;
        } else if (arguments[i] == QLatin1String("--no-wrap")) {
            wrap = false;
        } else if (arguments[i] == QLatin1String("--verbose")) {
            verbose = true;
        } else if (arguments[i] == QLatin1String("--folder") && hasValue) {
            folder = arguments[++i];
        } else {
            std::fprintf(stderr,
                         "usage: vellumpad_editor_bench [--sizes 1,10,100] [--runs N] [--crlf] [--one-line [--ascii | "
                         "--japanese]] [--no-wrap] [--compare] [--folder DIR] [--verbose]\n");
            return 2;
        }
    }
    QTemporaryDir scratch((folder.isEmpty() ? QDir::tempPath() : folder) +
                          QStringLiteral("/vellumpad-editor-bench-XXXXXX"));
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no scratch folder\n");
        return 1;
    }

    const Shape shape = oneLine ? (ascii      ? Shape::AsciiLine
                                   : japanese ? Shape::JapaneseLine
                                              : Shape::OneLine)
                        : crlf  ? Shape::CrLfLines
                                : Shape::Lines;
    std::printf("%-14s %17s %9s %9s %8s %7s %13s %22s %9s %7s %7s | %-27s\n", "note", "first paint/CPU", "loaded",
                "settled", "CPU", "stall", "wrap stall/CPU", "key med/max/CPU", "Return", "resize", "save",
                "peak MiB: open edit resize save");
    // With --compare, the view with and without run styling in turns, so that both see the same load.
    const std::vector<bool> variants = compare ? std::vector<bool>{true, false} : std::vector<bool>{true};
    for (int size : sizes) {
        std::map<bool, std::map<QString, std::vector<double>>> all;
        for (int run = 0; run < runs; ++run) {
            for (const bool runStyling : variants) {
                const std::optional<std::map<QString, double>> figures = runChild(
                    scratch.filePath(QStringLiteral("note-%1.vpd").arg(size)), size, shape, wrap, runStyling, verbose);
                if (!figures) {
                    return 1;
                }
                for (const auto& [name, value] : *figures) {
                    all[runStyling][name].push_back(value);
                }
            }
        }
        for (const bool runStyling : variants) {
            std::map<QString, double> got;
            for (auto& [name, values] : all[runStyling]) {
                std::sort(values.begin(), values.end());
                got[name] = values[values.size() / 2];
            }
            std::printf(
                "%-14s %6.0f/%5.0f ms %6.0f ms %6.0f ms %5.0f ms %4.0f ms %4.0f/%4.0f ms %6.1f/%6.1f/%5.1f ms %6.1f ms "
                "%4.0f ms %4.0f ms "
                "| %5.0f %5.0f %5.0f %5.0f\n",
                qPrintable(
                    QStringLiteral("%1 MiB%2")
                        .arg(size)
                        .arg(compare ? (runStyling ? QStringLiteral(" runs") : QStringLiteral(" plain")) : QString())),
                got["first_screen"], got["first_screen_cpu"], got["loaded"], got["settled"], got["settle_cpu"],
                got["stall"], got["wrap_stall"], got["wrap_stall_cpu"], got["key_median"], got["key_max"],
                got["key_cpu"], got["key_return"], got["resize"], got["save"], got["peak_open"], got["peak_edit"],
                got["peak_resize"], got["peak_save"]);
        }
        std::fflush(stdout);
    }
    std::printf("%s, word wrap %s, median of %d run(s)%s. first paint: Open until the text is painted; loaded: until "
                "the whole note is in and editable; settled: until word wrap has gone through the whole note; CPU: "
                "the process's CPU time from Open until settled; stall: the longest the window did not answer while "
                "the note went in; wrap stall: the same while it wrapped, and the most CPU time one turn took then; "
                "key: one letter typed mid-note until painted, "
                "median/max of %d, and the median CPU time; Return: a line break typed there; resize: the window 40 px "
                "wider until painted; "
                "save: File > Save; peak: resident memory (VmHWM) during the step, idle window included\n",
                shape == Shape::AsciiLine      ? "one line of ASCII"
                : shape == Shape::JapaneseLine ? "one line of Japanese"
                : shape == Shape::OneLine      ? "one line"
                : crlf                         ? "CR LF line endings"
                                               : "LF line endings",
                wrap ? "on" : "off", runs,
                compare ? "; runs: the view styled in runs, plain: without, run alternately" : "", keystrokes);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 7 && std::string_view(argv[1]) == "--run") {
        // As the program does: the C library then writes over each heap block as it is freed, which costs the most
        // where Scintilla lays out a long line again.
        (void)cipher::wipeFreedMemory();
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication application(argc, argv);
        return runOne(QString::fromLocal8Bit(argv[2]), std::stoul(argv[3]) * 1024 * 1024,
                      static_cast<Shape>(std::stoi(argv[4])), std::string_view(argv[5]) == "wrap",
                      std::string_view(argv[6]) == "runs");
    }
    QCoreApplication application(argc, argv);
    return runAll(QCoreApplication::arguments());
}
