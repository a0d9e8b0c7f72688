// How long the editor keeps a processor busy after it is started with a note, beside another editor given the same
// note as plain text: from launch until the process is quiet (no CPU time for a second), the CPU time until then and
// the peak resident memory. The editor runs as this program's own child (the real window and Open path, the view
// with its run styling and without), the peer (FeatherPad by default) as itself; they take turns, each in a process
// of its own, on whatever display QT_QPA_PLATFORM and DISPLAY name (scripts/bench-editor.sh starts Xvfb).
// --no-plain leaves out the view without run styling, which takes minutes with 100 MiB.
//   vellumpad_peer_bench [--sizes 1,10,100] [--runs N] [--peer PROGRAM] [--no-plain] [--folder DIR]

#include "bench_notes.h"
#include "bench_seams.h"

#include "app/editor.h"
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
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using bench::DiscardingPrompts;
using bench::OneFilePanels;
using bench::password;

// The editor with the note at notePath open, until it is killed.
int launch(const QString& notePath, bool runStyling) {
    platform::MemoryPreferences preferences;
    (void)preferences.setString(QString::fromLatin1(platform::passwordKey), QString::fromUtf8(password.data()));
    OneFilePanels panels;
    panels.file = QUrl::fromLocalFile(notePath);
    DiscardingPrompts prompts;
    cipher::MemoryLog log;
    app::Editor editor(preferences, panels, prompts, log);
    editor.mainWindow().viewController().myTextView->setRunStyling(runStyling);
    editor.mainWindow().resize(900, 700);
    editor.mainWindow().show();
    editor.mainWindow().findChild<QAction*>(QStringLiteral("actionOpen"))->trigger();
    return QApplication::exec();
}

// Clock ticks of CPU time (user and system) of process pid so far, or -1 once it is gone.
long cpuTicks(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return -1;
    }
    // The fields after the command name, which is in parentheses and may hold spaces.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            utime = std::stol(field);
        } else if (i == 15) {
            stime = std::stol(field);
        }
    }
    return utime + stime;
}

double peakMib(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return -1;
}

struct Settling {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMib = 0;
};

// Starts program and follows its CPU time until it has used none for a second; then kills it.
std::optional<Settling> settle(const QString& program, const QStringList& arguments) {
    constexpr int sampleMs = 20;
    constexpr double quietSeconds = 1.0;
    constexpr double patienceSeconds = 300;
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    if (!child.waitForStarted()) {
        std::fprintf(stderr, "could not start %s\n", qPrintable(program));
        return std::nullopt;
    }
    const qint64 pid = child.processId();
    Settling settled;
    long lastTicks = 0;
    double lastBusy = 0;
    while (true) {
        QThread::msleep(sampleMs);
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const long ticks = cpuTicks(pid);
        if (ticks < 0 || child.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "%s ended before it was quiet\n", qPrintable(program));
            return std::nullopt;
        }
        if (ticks > lastTicks) {
            lastTicks = ticks;
            lastBusy = now;
        }
        if (now - lastBusy >= quietSeconds || now > patienceSeconds) {
            settled.seconds = lastBusy;
            settled.cpuSeconds = static_cast<double>(lastTicks) / tick;
            settled.peakMib = peakMib(pid);
            break;
        }
    }
    child.kill();
    child.waitForFinished();
    return settled;
}

int runAll(const QStringList& arguments) {
    std::vector<int> sizes{1, 10, 100};
    int runs = 3;
    QString peer = QStringLiteral("featherpad");
    bool withoutStyling = true;
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
        } else if (arguments[i] == QLatin1String("--peer") && hasValue) {
            peer = arguments[++i];
        } else if (arguments[i] == QLatin1String("--no-plain")) {
            withoutStyling = false;
        } else if (arguments[i] == QLatin1String("--folder") && hasValue) {
            folder = arguments[++i];
        } else {
            std::fprintf(stderr, "usage: vellumpad_peer_bench [--sizes 1,10,100] [--runs N] [--peer PROGRAM] "
                                 "[--no-plain] [--folder DIR]\n");
            return 2;
        }
    }
    QTemporaryDir scratch((folder.isEmpty() ? QDir::tempPath() : folder) + QStringLiteral("/vellumpad-peer-XXXXXX"));
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no scratch folder\n");
        return 1;
    }
    const QString peerName = QFileInfo(peer).fileName();
    std::printf("%-8s | %-34s | %-34s | %-22s\n", "note", "Vellumpad: quiet after, CPU, peak", "without run styling",
                qPrintable(peerName));
    for (const int size : sizes) {
        const QString encrypted = scratch.filePath(QStringLiteral("note-%1.vpd").arg(size));
        const QString plain = scratch.filePath(QStringLiteral("note-%1.txt").arg(size));
        {
            const std::string note = bench::makeNote(static_cast<std::size_t>(size) * 1024 * 1024, bench::Shape::Lines);
            cipher::MemoryLog log;
            QFile text(plain);
            if (!cipher::saveEncryptedText(encrypted.toStdString(), note, cipher::NoteFormat(password), log) ||
                !text.open(QIODevice::WriteOnly) || text.write(note.data(), static_cast<qint64>(note.size())) < 0) {
                std::fprintf(stderr, "could not write the %d MiB note\n", size);
                return 1;
            }
        }
        std::map<std::size_t, std::vector<Settling>> all;
        for (int run = 0; run < runs; ++run) {
            const std::vector<std::pair<QString, QStringList>> turns{
                {QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--launch"), encrypted, QStringLiteral("runs")}},
                {QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--launch"), encrypted, QStringLiteral("plain")}},
                {peer, {plain}}};
            for (std::size_t turn = 0; turn < turns.size(); ++turn) {
                if (turn == 1 && !withoutStyling) {
                    continue;
                }
                const std::optional<Settling> settled = settle(turns[turn].first, turns[turn].second);
                if (!settled) {
                    return 1;
                }
                all[turn].push_back(*settled);
            }
        }
        std::printf("%-8s", qPrintable(QStringLiteral("%1 MiB").arg(size)));
        for (std::size_t turn = 0; turn < 3; ++turn) {
            const std::vector<Settling>& values = all[turn];
            if (values.empty()) {
                std::printf(" | %-32s", "-");
                continue;
            }
            const auto median = [&values](double Settling::*field) {
                std::vector<double> got;
                for (const Settling& value : values) {
                    got.push_back(value.*field);
                }
                std::sort(got.begin(), got.end());
                return got[got.size() / 2];
            };
            std::printf(" | %7.2f s %7.2f s %7.0f MiB", median(&Settling::seconds), median(&Settling::cpuSeconds),
                        median(&Settling::peakMib));
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("notes of lines of 40 to 120 bytes, word wrap on, median of %d run(s) taken in turns: seconds from "
                "launch until the process last used the CPU before a quiet second, CPU seconds until then, peak "
                "resident memory\n",
                runs);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 4 && std::string_view(argv[1]) == "--launch") {
        QApplication application(argc, argv);
        return launch(QString::fromLocal8Bit(argv[2]), std::string_view(argv[3]) == "runs");
    }
    QCoreApplication application(argc, argv);
    return runAll(QCoreApplication::arguments());
}
