#include "cipher/log.h"
#include "cipher/note_cipher.h"
#include "cipher/note_file.h"
#include "window/application_delegate.h"
#include "window/line_endings.h"
#include "window/view_controller.h"

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <string>

using window::LineEnding;

Q_DECLARE_METATYPE(window::LineEnding)

namespace {

constexpr int loadTimeoutMs = 60000;

struct FakeDelegate final : window::ApplicationDelegate {
    QString getPassword() const override { return QStringLiteral("pw"); }
    void setVc(window::ViewController*) override {}
};

// More than a million bytes, so that the note goes into the view in slices. Pieces of different lengths put CR LF
// pairs and characters of every UTF-8 length at every offset, and so across the edges of the slices.
QString longNote(const QString& lineBreak) {
    const QString pieces[] = {QStringLiteral("😀"),        QStringLiteral("ab"), lineBreak,
                              QStringLiteral("é\u00A0x"), QStringLiteral("\t"), QStringLiteral("日本語 "),
                              QStringLiteral("\u2028")};
    QString note;
    for (int i = 0; note.size() < 1'300'000; ++i) {
        note += pieces[i % 7];
        note += pieces[(i * 3 + 1) % 7];
    }
    return note;
}

// A long note whose part around where the first slice ends is all of one sequence (a CR LF, or a character of four
// UTF-8 bytes) starting one byte past a multiple of its length, so that a slice ending at a multiple of four bytes
// there would split one.
QString noteWithSplittableBytes(const QString& sequence, const QString& lineBreak) {
    const qsizetype length = sequence.toUtf8().size();
    QString note;
    while (note.size() < 32 * 1024 || note.size() % length != 1) {
        note += note.size() < 32 * 1024 ? QStringLiteral("words on a line") + lineBreak : QStringLiteral("x");
    }
    return note + sequence.repeated(64 * 1024 / length) + lineBreak + longNote(lineBreak);
}

// The core alone is the oracle for what a file holds.
QByteArray decryptedFile(const QString& path) {
    cipher::Result<std::string> fileText = cipher::readNoteFile(path.toStdString());
    cipher::Result<std::string> note =
        cipher::decryptWhole(fileText ? fileText.value() : std::string(), "pw", cipher::noteIv, {});
    return note ? QByteArray::fromStdString(note.value()) : QByteArray("<undecryptable>");
}

void writeNoteFile(const QString& path, const QString& note) {
    cipher::MemoryLog log;
    QVERIFY(cipher::saveEncryptedText(path.toStdString(), note.toStdString(), "pw", cipher::noteIv, {}, log).ok());
}

// The view's text as the user sees it: one line per block, whatever ended the line in the note.
QString shownLines(const QString& note) {
    QString lines;
    for (qsizetype i = 0; i < note.size(); ++i) {
        if (note[i] == u'\r' && i + 1 < note.size() && note[i + 1] == u'\n') {
            continue;
        }
        lines += window::isLineBreak(note[i]) ? QChar(QChar::ParagraphSeparator) : note[i];
    }
    return lines;
}

} // namespace

class NoteTextTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    cipher::MemoryLog m_log;
    FakeDelegate m_delegate;

    std::unique_ptr<window::ViewController> shownController() {
        auto vc = std::make_unique<window::ViewController>(m_log);
        vc->viewDidLoad(m_delegate);
        vc->resize(640, 480);
        vc->show();
        return vc;
    }

private slots:
    void lineEndingIsTheOneUsedThroughout_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<LineEnding>("ending");
        QTest::newRow("empty") << QString() << LineEnding::Lf;
        QTest::newRow("one line") << QStringLiteral("one line") << LineEnding::Lf;
        QTest::newRow("LF") << QStringLiteral("a\nb\n") << LineEnding::Lf;
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n\r\n") << LineEnding::CrLf;
        QTest::newRow("CR") << QStringLiteral("a\rb\r") << LineEnding::Cr;
        QTest::newRow("CR LF and LF") << QStringLiteral("a\r\nb\nc") << LineEnding::Lf;
        QTest::newRow("CR LF and CR") << QStringLiteral("a\r\nb\rc") << LineEnding::Lf;
        QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << LineEnding::Lf;
    }
    void lineEndingIsTheOneUsedThroughout() {
        QFETCH(QString, text);
        QFETCH(LineEnding, ending);
        QCOMPARE(window::lineEndingOf(text.toUtf8()), ending);
    }

    void everyLineBreakTheDocumentMakesIsWrittenInTheNoteEnding_data() {
        QTest::addColumn<LineEnding>("ending");
        QTest::addColumn<QString>("expected");
        QTest::newRow("LF") << LineEnding::Lf << QStringLiteral("1\n2\n3\n4\n5\n6\u2028é😀\n");
        QTest::newRow("CR LF") << LineEnding::CrLf << QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6\u2028é😀\r\n");
        QTest::newRow("CR") << LineEnding::Cr << QStringLiteral("1\r2\r3\r4\r5\r6\u2028é😀\r");
    }
    void everyLineBreakTheDocumentMakesIsWrittenInTheNoteEnding() {
        QFETCH(LineEnding, ending);
        QFETCH(QString, expected);
        // U+2028 is a line separator inside a line: the document keeps it, and so does the note.
        const QString text = QStringLiteral("1\n2\r\n3\r4\u20295\uFDD06\u2028é😀\uFDD1");
        QCOMPARE(window::withLineEnding(text, ending), expected);
        // Qt's own document is the oracle for where lines break.
        QTextDocument document;
        document.setPlainText(text);
        QCOMPARE(document.toRawText(), shownLines(text));
        QCOMPARE(window::documentUtf8(document, ending), expected.toUtf8());
        document.setPlainText(QString());
        QCOMPARE(window::documentUtf8(document, ending), QByteArray());
    }

    void openAndSaveKeepTheNoteByteForByte_data() {
        QTest::addColumn<QString>("note");
        const QString spaces = QStringLiteral("no-break\u00A0space\ttab  \n\n\u2028\nlast line without break");
        QTest::newRow("empty") << QString();
        QTest::newRow("LF") << spaces;
        QTest::newRow("CR LF") << QString(spaces).replace(u'\n', QStringLiteral("\r\n"));
        QTest::newRow("CR") << QString(spaces).replace(u'\n', u'\r');
        QTest::newRow("CR LF, final break") << QStringLiteral("a\r\nb\r\n");
        QTest::newRow("long LF") << longNote(QStringLiteral("\n"));
        QTest::newRow("long CR LF") << longNote(QStringLiteral("\r\n"));
        QTest::newRow("long, CR LF across slices")
            << noteWithSplittableBytes(QStringLiteral("\r\n"), QStringLiteral("\r\n"));
        QTest::newRow("long, UTF-8 across slices")
            << noteWithSplittableBytes(QStringLiteral("😀"), QStringLiteral("\n"));
    }
    void openAndSaveKeepTheNoteByteForByte() {
        QFETCH(QString, note);
        const QString opened = m_dir.filePath(QStringLiteral("opened.vpd"));
        const QString saved = m_dir.filePath(QStringLiteral("saved.vpd"));
        writeNoteFile(opened, note);
        auto vc = shownController();
        const cipher::Result<QString> text = vc->openEncryptedText(opened);
        QVERIFY(text.ok());
        QCOMPARE(text.value(), note);
        QVERIFY(vc->loadEncryptedText(opened).ok());
        QTRY_VERIFY_WITH_TIMEOUT(!vc->isLoading(), loadTimeoutMs);

        QCOMPARE(vc->myTextView->document()->toRawText(), shownLines(note));
        QCOMPARE(vc->noteText(), note);
        QVERIFY(!vc->isModified());
        QVERIFY(vc->saveEncryptedText(saved).ok());
        QCOMPARE(decryptedFile(saved), note.toUtf8());
    }

    void aNoteWithMixedLineEndingsIsSavedWithLf() {
        const QString path = m_dir.filePath(QStringLiteral("mixed.vpd"));
        auto vc = shownController();
        vc->setNoteText(QStringLiteral("a\r\nb\nc\rd\u2029e"));
        QCOMPARE(vc->lineEnding(), LineEnding::Lf);
        QVERIFY(vc->saveEncryptedText(path).ok());
        QCOMPARE(decryptedFile(path), QByteArray("a\nb\nc\nd\ne"));
    }

    void aLongNoteLoadsReadOnlyAndIsSavedOnlyWhole() {
        const QString path = m_dir.filePath(QStringLiteral("long.vpd"));
        const QString note = longNote(QStringLiteral("\r\n"));
        auto vc = shownController();
        QSignalSpy loading(vc.get(), &window::ViewController::loadingChanged);
        vc->setNoteText(note);
        QVERIFY(vc->isLoading());
        QCOMPARE(loading.count(), 1);
        QVERIFY(vc->myTextView->isReadOnly());
        QVERIFY(!vc->isModified());
        QCOMPARE(vc->noteText(), note);
        QTest::keyClicks(vc->myTextView, QStringLiteral("typed too early"));
        QCOMPARE(vc->noteText(), note);

        // Saving before the note is whole puts the rest in first: a part of it is never written.
        QVERIFY(vc->saveEncryptedText(path).ok());
        QCOMPARE(decryptedFile(path), note.toUtf8());
        QVERIFY(!vc->isLoading());
        QCOMPARE(loading.count(), 2);
        QVERIFY(!vc->myTextView->isReadOnly());

        QCOMPARE(vc->myTextView->textCursor().position(), 0);
        QTest::keyClicks(vc->myTextView, QStringLiteral("x"));
        QCOMPARE(vc->noteText(), QStringLiteral("x") + note);
        QVERIFY(vc->isModified());
        vc->myTextView->undo();
        QCOMPARE(vc->noteText(), note);
    }

    void replacingANoteWhileItLoadsLeavesOnlyTheNewOne() {
        auto vc = shownController();
        vc->setNoteText(longNote(QStringLiteral("\n")));
        QVERIFY(vc->isLoading());
        vc->setNoteText(QStringLiteral("short"));
        QVERIFY(!vc->isLoading());
        QVERIFY(!vc->myTextView->isReadOnly());
        QCOMPARE(vc->noteText(), QStringLiteral("short"));

        const QString second = longNote(QStringLiteral("\r"));
        vc->setNoteText(longNote(QStringLiteral("\n")));
        vc->setNoteText(second);
        QTRY_VERIFY_WITH_TIMEOUT(!vc->isLoading(), loadTimeoutMs);
        QCOMPARE(vc->noteText(), second);
        QVERIFY(!vc->myTextView->isReadOnly());
        QVERIFY(!vc->isModified());
    }
};

QTEST_MAIN(NoteTextTest)
#include "note_text_test.moc"
