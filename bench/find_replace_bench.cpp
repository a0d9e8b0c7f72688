// What Replace All and the find bar's match count cost in a large note: the time Replace All of a common word
// takes, and how long counting its matches keeps the window from taking a key (the longest turn of the event loop
// while it counts) beside the whole count. Runs offscreen on the real note view. Beside the time on the clock, the
// processor time Replace All took: on a machine busy with other work, that is the figure that holds still.
//   vellumpad_find_replace_bench [MEGABYTES] [ROUNDS]

#include "window/find_query.h"
#include "window/match_counter.h"
#include "window/note_text_view.h"
#include "window/replace_all.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Lines of words as people write them, "the" among the commonest, with accented letters and CJK.
QByteArray makeNote(qsizetype size) {
    static const std::array<std::string_view, 16> words{"the",    "note",  "and",  "of",   "meeting", "The",
                                                        "list",   "to",    "call", "a",    "café",    "Straße",
                                                        "日本語", "there", "42",   "other"};
    std::mt19937 random(20261207);
    QByteArray text;
    text.reserve(size + 64);
    qsizetype line = 0;
    while (text.size() < size) {
        const std::string_view word = words[random() % words.size()];
        text.append(word.data(), static_cast<qsizetype>(word.size()));
        line += static_cast<qsizetype>(word.size()) + 1;
        if (line > 70) {
            text += '\n';
            line = 0;
        } else {
            text += ' ';
        }
    }
    return text;
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype megabytes = argc > 1 ? std::stoll(argv[1]) : 100;
    const int rounds = argc > 2 ? std::stoi(argv[2]) : 5;
    const QByteArray note = makeNote(megabytes * 1024 * 1024);
    window::NoteTextView view;
    view.resize(800, 600);
    view.show();

    struct Case {
        const char* name;
        window::FindQuery query;
    };
    const std::array<Case, 4> cases{{{"\"the\", any case", {"the", false, false}},
                                     {"\"the\", match case", {"the", true, false}},
                                     {"\"the\", whole words", {"the", false, true}},
                                     {"\"straße\", any case", {"straße", false, false}}}};
    std::printf("%lld MiB note, medians of %d rounds\n", static_cast<long long>(megabytes), rounds);
    for (const Case& test : cases) {
        std::vector<double> replaceSeconds;
        std::vector<double> replaceProcessorSeconds;
        std::vector<double> countSeconds;
        std::vector<double> longestTurnMs;
        qsizetype replaced = 0;
        for (int round = 0; round < rounds; ++round) {
            view.clear(window::LineEnding::Lf, static_cast<std::size_t>(note.size()));
            view.append(note);

            // Counting, while a timer stands for the keys: the longest gap between its turns is what typing waits.
            window::MatchCounter counter(&view);
            QEventLoop loop;
            QTimer keys;
            keys.setInterval(0);
            QElapsedTimer sinceTurn;
            qint64 longest = 0;
            QObject::connect(&keys, &QTimer::timeout, [&] {
                longest = std::max(longest, sinceTurn.nsecsElapsed());
                sinceTurn.restart();
            });
            QObject::connect(&counter, &window::MatchCounter::counted, [&] {
                if (counter.isDone()) {
                    loop.quit();
                }
            });
            QElapsedTimer clock;
            clock.start();
            sinceTurn.start();
            keys.start();
            counter.start(test.query);
            if (!counter.isDone()) {
                loop.exec();
            }
            countSeconds.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
            longestTurnMs.push_back(static_cast<double>(longest) / 1e6);
            keys.stop();

            clock.restart();
            const double processorStart = threadSeconds();
            replaced = window::replaceAll(view, test.query, "word");
            replaceSeconds.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
            replaceProcessorSeconds.push_back(threadSeconds() - processorStart);
        }
        std::printf("%-22s %9lld matches  Replace All %.2f s (processor %.2f s)  count %.2f s, longest wait for a key "
                    "%.1f ms\n",
                    test.name, static_cast<long long>(replaced), median(replaceSeconds),
                    median(replaceProcessorSeconds), median(countSeconds), median(longestTurnMs));
    }
    return 0;
}
