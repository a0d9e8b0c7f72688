#include "readability.h"
#include "window/note_text_view.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

namespace {

// Latin with accents, Greek, Cyrillic and Japanese, as words and as long runs without spaces; lines long enough to
// wrap, tabs and runs of spaces, a word longer than a run and a line of one long token.
QByteArray mixedNote() {
    QByteArray note;
    for (int line = 0; line < 6; ++line) {
        note += QStringLiteral("Straße café naïve déjà vu \u00DCber\tΕλλάδα καλημέρα Москва привет ").toUtf8();
        note += QStringLiteral("日本語のメモを明日の会議までに書きます。東京に行きます、").toUtf8();
        note += QByteArray(line * 3, ' ') + "Supercalifragilisticexpialidocious-and-more-words " + "42 €12.50\n";
    }
    note += QByteArray("aGVsbG8gd29ybGQ=").repeated(20) + "\n";
    note += QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。").repeated(4).toUtf8();
    return note;
}

} // namespace

class NoteTextViewTest : public QObject {
    Q_OBJECT

private slots:
    // The runs' styles must not show: views with and without them draw the same pixels, wrapped or not, zoomed, under
    // another palette and with a selection. VELLUMPAD_SCREENSHOT_DIR=DIR keeps the two images of a failure.
    void runStylingDrawsTheSamePixels_data() {
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("selection");
        QTest::newRow("wrapped") << true << 0 << false << false;
        QTest::newRow("not wrapped") << false << 0 << false << false;
        QTest::newRow("zoomed in") << true << 4 << false << false;
        QTest::newRow("zoomed out") << true << -3 << false << false;
        QTest::newRow("dark palette") << true << 0 << true << false;
        // Wrapped, the selection's edge at the end of a row may move by a pixel: Scintilla sums run widths in floating
        // point, so the end of a row measured in many runs can round the other way.
        QTest::newRow("dark palette, a selection, not wrapped") << false << 0 << true << true;
    }

    void runStylingDrawsTheSamePixels() {
        QFETCH(bool, wrap);
        QFETCH(int, zoom);
        QFETCH(bool, dark);
        QFETCH(bool, selection);
        QImage images[2];
        for (const bool runs : {false, true}) {
            window::NoteTextView view;
            view.setRunStyling(runs);
            view.clear(window::LineEnding::Lf);
            view.append(mixedNote());
            view.resize(640, 480);
            view.setWordWrap(wrap);
            view.setZoom(zoom);
            if (dark) {
                view.setPalette(darkPalette());
            }
            if (selection) {
                view.select(mixedNote().indexOf("café"), mixedNote().lastIndexOf("会議"));
            }
            QCOMPARE(view.bytes(), QByteArrayView(mixedNote()));
            images[runs ? 1 : 0] = view.grab().toImage();
        }
        if (images[0] != images[1] && qEnvironmentVariableIsSet("VELLUMPAD_SCREENSHOT_DIR")) {
            const QString folder = qEnvironmentVariable("VELLUMPAD_SCREENSHOT_DIR");
            images[0].save(folder + QStringLiteral("/unstyled.png"));
            images[1].save(folder + QStringLiteral("/runs.png"));
        }
        QVERIFY(images[0] == images[1]);
    }

    // Work beside the screen must leave it right: Scintilla wrapping the lines above it in the background, and a
    // document made for a note being opened (until it is shown, and when it never is, as after a wrong password).
    void theScreenStaysRightWhileWorkGoesOnBesideIt() {
        window::NoteTextView view;
        view.append(mixedNote().repeated(300));
        view.resize(640, 480);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setFirstVisibleLine(1000);
        const auto rows = [&view] {
            return view.SendScintilla(QsciScintillaBase::SCI_VISIBLEFROMDOCLINE,
                                      static_cast<unsigned long>(view.lineCount()));
        };
        for (long wrapped = -1; rows() != wrapped; QTest::qWait(100)) {
            wrapped = rows();
        }
        const QImage painted = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32), painted);
        const qsizetype top = view.firstVisibleLine();
        view.dropDocument(view.makeDocument(1024 * 1024));
        QCOMPARE(view.firstVisibleLine(), top);
        QVERIFY(view.grab().toImage().convertToFormat(QImage::Format_RGB32) == painted);
    }

    // After edits, restyling from the edit point and keeping the styles past it must leave what styling the edited
    // text afresh gives; otherwise runs would be cut where they must not (inside a cluster, between joining letters).
    void editsLeaveTheStylesOfAFreshView_data() {
        QTest::addColumn<QList<QByteArray>>("edits"); // replaced text, "|", replacement; in turn, styled after all
        QTest::newRow("a letter inside a word") << QList<QByteArray>{"café|caxfé"};
        QTest::newRow("a space splitting a word") << QList<QByteArray>{"naïve|na ïve"};
        QTest::newRow("a space taken out") << QList<QByteArray>{"Москва привет|Москвапривет"};
        QTest::newRow("inside a long run of spaces") << QList<QByteArray>{"                    |          x "};
        QTest::newRow("a combining mark") << QList<QByteArray>{"Straße|Straße\xcc\x81"};
        QTest::newRow("words into Japanese") << QList<QByteArray>{"明日の会議|明日 the note の会議"};
        QTest::newRow("across a line break") << QList<QByteArray>{"12.50\nStraße|12.5Straße"};
        QTest::newRow("into a long token") << QList<QByteArray>{"bG8gd29y|bG8 gd29y"};
        QTest::newRow("a letter into long Japanese") << QList<QByteArray>{"名前はまだ|名前はxまだ"};
        QTest::newRow("between control characters") << QList<QByteArray>{"\x01\x02|\x01\x03\x02"};
        QTest::newRow("two edits apart") << QList<QByteArray>{"café|cafe", "aGVsbG8g|aGVsbG8  "};
    }

    void editsLeaveTheStylesOfAFreshView() {
        QFETCH(QList<QByteArray>, edits);
        const QByteArray original = mixedNote() + QByteArray(40, ' ') + "end\x01\x02\x03 tail";
        const auto styles = [](window::NoteTextView& view) {
            view.SendScintilla(QsciScintillaBase::SCI_COLOURISE, static_cast<unsigned long>(view.length()), -1L);
            QByteArray all;
            for (qsizetype at = 0; at < view.length(); ++at) {
                all += static_cast<char>(
                    view.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, static_cast<unsigned long>(at)));
            }
            return all;
        };
        window::NoteTextView edited;
        edited.append(original);
        (void)styles(edited);
        for (const QByteArray& edit : edits) {
            const QList<QByteArray> parts = edit.split('|');
            const qsizetype at = edited.bytes().toByteArray().indexOf(parts[0]);
            QVERIFY(at >= 0);
            edited.replace(at, at + parts[0].size(), parts[1]);
        }
        window::NoteTextView fresh;
        fresh.append(edited.bytes());
        QCOMPARE(styles(edited), styles(fresh));
    }
};

QTEST_MAIN(NoteTextViewTest)
#include "note_text_view_test.moc"
