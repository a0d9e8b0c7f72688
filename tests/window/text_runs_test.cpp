#include "window/text_runs.h"

#include <QTest>
#include <QTextBoundaryFinder>

namespace {

QList<QByteArray> runsOf(const QByteArray& text) {
    QList<QByteArray> runs;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype end = window::cutRun(text, at).end;
        if (end <= at || end > text.size()) {
            qFatal("cutRun ended at %lld after %lld", static_cast<long long>(end), static_cast<long long>(at));
        }
        runs.append(text.sliced(at, end - at));
        at = end;
    }
    return runs;
}

QByteArray utf8(const char16_t* text) {
    return QString::fromUtf16(text).toUtf8();
}

// Sequences that are one grapheme cluster, and scripts whose letters join or reorder: none may be cut inside.
const QList<QByteArray>& awkwardClusters() {
    static const QList<QByteArray> clusters{
        utf8(u"e\u0301"),                                    // a combining accent
        utf8(u"\U0001F468\u200D\U0001F469\u200D\U0001F467"), // a family joined by ZWJ
        utf8(u"\U0001F44D\U0001F3FD"),                       // a skin tone
        utf8(u"\U0001F1EF\U0001F1F5"),                       // a flag: two regional indicators
        utf8(u"1\uFE0F\u20E3"),                              // a keycap
        utf8(u"\u2764\uFE0F"),                               // a variation selector
        utf8(u"\uFF76\uFF9E"),                               // halfwidth katakana with its sound mark
        utf8(u"\u1100\u1161\u11A8"),                         // Hangul jamo
        utf8(u"\uD55C\u11A8"),                               // a Hangul syllable and a trailing jamo
        utf8(u"\u0915\u094D\u0937"),                         // a Devanagari conjunct
        utf8(u"\u0645\u0631\u062D\u0628\u0627"),             // an Arabic word
        utf8(u"\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F"), // a tag sequence
        utf8(u"\u0E01\u0E33"),                                                           // Thai with a spacing vowel
        utf8(u"a\u200C"),                                                                // a zero-width non-joiner
        utf8(u"\u0600\u0661"), // an Arabic sign that goes before the number
    };
    return clusters;
}

} // namespace

class TextRunsTest : public QObject {
    Q_OBJECT

private slots:
    void cutsWordsSpacesAndLongWords_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<QByteArray>>("runs");
        QTest::newRow("words and spaces") << QByteArray("the  note") << QList<QByteArray>{"the", "  ", "note"};
        QTest::newRow("line breaks of every kind")
            << QByteArray("a\r\nb\nc\rd\te") << QList<QByteArray>{"a", "\r\n", "b", "\n", "c", "\r", "d", "\t", "e"};
        QTest::newRow("a word as long as a run may be")
            << QByteArray(24, 'w') + " x" << QList<QByteArray>{QByteArray(24, 'w') + " ", "x"};
        QTest::newRow("a longer word, in pairs")
            << QByteArray(27, 'w') + " " << QList<QByteArray>(13, "ww") + QList<QByteArray>{"w", " "};
        QTest::newRow("ideographs without spaces, in pairs")
            << utf8(u"日本語のメモ日本語のメモ") << QList<QByteArray>{utf8(u"日本"), utf8(u"語の"), utf8(u"メモ"),
                                                                      utf8(u"日本"), utf8(u"語の"), utf8(u"メモ")};
        QTest::newRow("many spaces") << QByteArray(30, ' ') + "x"
                                     << QList<QByteArray>{QByteArray(24, ' '), QByteArray(6, ' '), "x"};
        QTest::newRow("Greek and Cyrillic words, each with the space after it")
            << utf8(u"Ελλάδα Москва ") << QList<QByteArray>{utf8(u"Ελλάδα "), utf8(u"Москва ")};
        const QByteArray arabic = utf8(u"\u0645\u0631\u062D\u0628\u0627"), start = utf8(u"\u0645\u0631");
        QTest::newRow("an Arabic line is cut after its spaces only")
            << arabic.repeated(3) + " " + start << QList<QByteArray>{arabic.repeated(3) + " ", start};
        QTest::newRow("a mark on a space stays with it")
            << utf8(u"a \u0301b c") << QList<QByteArray>{"a", utf8(u" \u0301b"), " ", "c"};
        QTest::newRow("a character cut short by the end of the text")
            << QByteArray(30, 'w') + QByteArray("\xE6\x97")
            << QList<QByteArray>(14, "ww") + QList<QByteArray>{"ww\xE6\x97"};
    }

    void cutsWordsSpacesAndLongWords() {
        QFETCH(QByteArray, text);
        QFETCH(QList<QByteArray>, runs);
        QCOMPARE(runsOf(text), runs);
    }

    // A cluster typed into a long word moves its cuts only up to the next anchor, not to the end of a long line.
    void anEditMovesTheCutsOfALongWordOnlyNearIt() {
        const QByteArray word = utf8(u"明日の会議は十時からです東京でメモを書きます").repeated(8);
        const QByteArray edited = QByteArray(word).insert(word.size() / 2, "x");
        QCOMPARE(runsOf(edited).last(30), runsOf(word).last(30));
    }

    // Qt's grapheme boundaries are the oracle: each awkward cluster, packed into long words with letters, ideographs
    // and each other, is never cut inside nor miscounted.
    void neverCutsInsideAClusterNorBetweenShapingLetters() {
        QByteArray text;
        const QList<QByteArray> fillers{"ab", utf8(u"日本"), utf8(u"Жж"), "", "  ", "\n"};
        for (int round = 0; round < 4; ++round) {
            for (qsizetype i = 0; i < awkwardClusters().size(); ++i) {
                text += awkwardClusters()[(i * (round + 1)) % awkwardClusters().size()];
                text += fillers[(i + round) % fillers.size()];
            }
        }
        const QString utf16 = QString::fromUtf8(text);
        QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, utf16);
        // The same oracle counts the clusters of every prefix, as the status bar's column does.
        for (qsizetype end = 0; end <= text.size(); end += 7) {
            QTextBoundaryFinder counter(QTextBoundaryFinder::Grapheme, QString::fromUtf8(text.first(end)));
            qsizetype expected = 0;
            while (counter.toNextBoundary() != -1) {
                ++expected;
            }
            QCOMPARE(window::graphemeClusterCount(text.first(end)), expected);
            // Counting on from the last sure end, as the column does as the caret moves on, counts the same.
            const window::SureClusterCount sure = window::sureClusterCount(text.first(end / 2));
            QCOMPARE(sure.clusters + window::graphemeClusterCount(text.sliced(sure.end, end - sure.end)), expected);
        }
        qsizetype at = 0;
        for (const QByteArray& run : runsOf(text)) {
            at += run.size();
            clusters.setPosition(QString::fromUtf8(text.first(at)).size());
            QVERIFY2(clusters.isAtBoundary(), qPrintable(QStringLiteral("cut inside a cluster: %1|%2")
                                                             .arg(QString::fromUtf8(text.first(at).right(12)),
                                                                  QString::fromUtf8(text.sliced(at).left(12)))));
            for (const QByteArray& cluster : awkwardClusters()) {
                const qsizetype found = text.lastIndexOf(cluster, at - 1);
                QVERIFY2(found < 0 || found + cluster.size() <= at,
                         qPrintable(QStringLiteral("cut inside %1").arg(QString::fromUtf8(cluster))));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TextRunsTest)
#include "text_runs_test.moc"
