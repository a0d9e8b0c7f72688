#include "cipher/log.h"
#include "cipher/note_cipher.h"
#include "cipher/note_file.h"
#include "window/application_delegate.h"
#include "window/find_bar.h"
#include "window/line_endings.h"
#include "window/main_window.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStatusBar>
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

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    cipher::MemoryLog m_log;
    FakeDelegate m_delegate;
    std::unique_ptr<window::MainWindow> m_window;

    window::ViewController& view() { return m_window->viewController(); }
    QPlainTextEdit* text() { return view().myTextView; }
    QString saved() { return m_dir.filePath(QStringLiteral("saved.vpd")); }
    template <typename T> T* child(const char* name) {
        auto* found = m_window->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no child named %s", name);
        }
        return found;
    }
    void trigger(const char* action) { child<QAction>(action)->trigger(); }
    QLineEdit* findField() { return child<QLineEdit>("findField"); }
    QString selection() { return text()->textCursor().selectedText(); }
    int selectionStart() { return text()->textCursor().selectionStart(); }
    void select(int from, int to) {
        QTextCursor cursor = text()->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        text()->setTextCursor(cursor);
    }

private slots:
    void init() {
        m_window = std::make_unique<window::MainWindow>(m_delegate, m_log);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void windowShowsAnUntouchedNoteAndFollowsEditing() {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("名称未設定[*] — Vellumpad"));
        QVERIFY(!view().isModified());
        QVERIFY(!child<QAction>("actionUndo")->isEnabled() && !child<QAction>("actionCopy")->isEnabled());
        QTest::keyClicks(text(), QStringLiteral("hello"));
        QVERIFY(child<QAction>("actionUndo")->isEnabled());
        QVERIFY(m_window->isWindowModified());
        trigger("actionSelectAll");
        QVERIFY(child<QAction>("actionCopy")->isEnabled());
        trigger("actionUndo");
        QVERIFY(view().noteText().isEmpty());
    }

    void findStepsThroughMatchesAndWrapsAroundTheEnds() {
        view().setNoteText(QStringLiteral("one Two\nthree two TWO"));
        trigger("actionFind");
        QVERIFY(m_window->findBar().isVisible());
        QVERIFY(findField()->hasFocus());
        // Typing searches as it goes, case-insensitively by default.
        QTest::keyClicks(findField(), QStringLiteral("two"));
        QCOMPARE(selectionStart(), 4);
        QTest::keyClick(m_window.get(), Qt::Key_F3);
        QCOMPARE(selectionStart(), 14);
        trigger("actionFindNext");
        QCOMPARE(selectionStart(), 18);
        QVERIFY(m_window->findBar().status().isEmpty());
        trigger("actionFindNext");
        QCOMPARE(selectionStart(), 4);
        QCOMPARE(m_window->findBar().status(), QStringLiteral("Continued from the top"));
        QTest::keyClick(m_window.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(selectionStart(), 18);
        QCOMPARE(selection(), QStringLiteral("TWO"));
        QTest::keyClick(findField(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(selectionStart(), 14);

        child<QCheckBox>("findMatchCase")->setChecked(true);
        QCOMPARE(selection(), QStringLiteral("two"));
        QVERIFY(m_window->findBar().findNext());
        QCOMPARE(selectionStart(), 14);
        QVERIFY(m_window->findBar().findPrevious());
        QCOMPARE(selectionStart(), 14);
    }

    void findSaysNotFoundAndLeavesTheCursorAlone() {
        view().setNoteText(QStringLiteral("Grüße aus Köln 😀"));
        trigger("actionFind");
        QTest::keyClicks(findField(), QStringLiteral("KÖLN"));
        QCOMPARE(selection(), QStringLiteral("Köln"));
        QTest::keyClicks(findField(), QStringLiteral("x"));
        QCOMPARE(m_window->findBar().status(), QStringLiteral("Not found"));
        QCOMPARE(selection(), QStringLiteral("Köln"));
        QVERIFY(!m_window->findBar().findPrevious());
        QCOMPARE(selection(), QStringLiteral("Köln"));
        findField()->setText(QStringLiteral("😀"));
        QVERIFY(m_window->findBar().findNext());
        QVERIFY(m_window->findBar().status().isEmpty());
    }

    void findOpensWithTheSelectionAndEscReturnsToTheText() {
        view().setNoteText(QStringLiteral("alpha beta\ngamma"));
        text()->selectAll();
        trigger("actionFind");
        // A selection over several lines can never match, so it does not replace what was typed before.
        QVERIFY(findField()->text().isEmpty());
        QTest::keyClick(findField(), Qt::Key_Escape);
        QVERIFY(!m_window->findBar().isVisible());
        QVERIFY(text()->hasFocus());

        select(6, 10);
        trigger("actionFind");
        QCOMPARE(findField()->text(), QStringLiteral("beta"));
        QTest::keyClick(child<QCheckBox>("findMatchCase"), Qt::Key_Escape);
        QVERIFY(!m_window->findBar().isVisible());
        QVERIFY(text()->hasFocus());
        QCOMPARE(selection(), QStringLiteral("beta"));
    }

    void zoomStepsTheFontAndResetRestoresIt() {
        const qreal unzoomed = text()->font().pointSizeF();
        QVERIFY(unzoomed > 0);
        const auto spacesPerTab = [this] {
            return text()->tabStopDistance() / QFontMetricsF(text()->font()).horizontalAdvance(QLatin1Char(' '));
        };
        const qreal tabWidth = spacesPerTab();
        trigger("actionZoomIn");
        trigger("actionZoomIn");
        QCOMPARE(text()->font().pointSizeF(), unzoomed + 2);
        QCOMPARE(spacesPerTab(), tabWidth);
        for (int i = 0; i < 200; ++i) {
            trigger("actionZoomOut");
        }
        QCOMPARE(text()->font().pointSizeF(), 4.0);
        trigger("actionResetZoom");
        QCOMPARE(text()->font().pointSizeF(), unzoomed);
        QCOMPARE(spacesPerTab(), tabWidth);
    }

    void statusBarFollowsTheCursorInCharactersAsSeen() {
        auto* position = child<QLabel>("cursorPosition");
        QCOMPARE(position->text(), QStringLiteral("Line 1, Column 1"));
        // An emoji is a surrogate pair and "é" here a letter with a combining accent: each is one column.
        view().setNoteText(QStringLiteral("first\nab😀ce\u0301x\n"));
        select(6, 6);
        QCOMPARE(position->text(), QStringLiteral("Line 2, Column 1"));
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(text(), Qt::Key_Right);
        }
        QCOMPARE(position->text(), QStringLiteral("Line 2, Column 5"));
        QTest::keyClick(text(), Qt::Key_End);
        QCOMPARE(position->text(), QStringLiteral("Line 2, Column 7"));
        QTest::keyClick(text(), Qt::Key_Down);
        QCOMPARE(position->text(), QStringLiteral("Line 3, Column 1"));

        // A notice in the status bar does not hide the position.
        m_window->statusBar()->showMessage(QStringLiteral("Saved /tmp/x.vpd"));
        QVERIFY(position->isVisible());
    }

    void aNoteIsSavedInTheLineEndingItUsesThroughoutElseLf_data() {
        QTest::addColumn<QString>("note");
        QTest::addColumn<LineEnding>("ending");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("empty") << QString() << LineEnding::Lf << QByteArray();
        QTest::newRow("one line") << QStringLiteral("one line") << LineEnding::Lf << QByteArray("one line");
        QTest::newRow("LF") << QStringLiteral("a\nb\n") << LineEnding::Lf << QByteArray("a\nb\n");
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n\r\n") << LineEnding::CrLf << QByteArray("a\r\nb\r\n\r\n");
        QTest::newRow("CR") << QStringLiteral("a\rb\r") << LineEnding::Cr << QByteArray("a\rb\r");
        QTest::newRow("CR LF and LF") << QStringLiteral("a\r\nb\nc") << LineEnding::Lf << QByteArray("a\nb\nc");
        QTest::newRow("CR LF and CR") << QStringLiteral("a\r\nb\rc") << LineEnding::Lf << QByteArray("a\nb\nc");
        QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << LineEnding::Lf << QByteArray("a\n\nb");
        // U+2028 is a line separator inside a line: the document keeps it, and so does the note.
        QTest::newRow("every kind") << QStringLiteral("1\n2\r\n3\r4\u20295\uFDD06\u2028é😀\uFDD1") << LineEnding::Lf
                                    << QStringLiteral("1\n2\n3\n4\n5\n6\u2028é😀\n").toUtf8();
        QTest::newRow("every kind, CR LF") << QStringLiteral("1\r\n2\u20293\uFDD04\u2028é😀\uFDD1") << LineEnding::CrLf
                                           << QStringLiteral("1\r\n2\r\n3\r\n4\u2028é😀\r\n").toUtf8();
        QTest::newRow("every kind, CR") << QStringLiteral("1\r2\u20293\uFDD04\u2028é😀\uFDD1") << LineEnding::Cr
                                        << QStringLiteral("1\r2\r3\r4\u2028é😀\r").toUtf8();
    }
    void aNoteIsSavedInTheLineEndingItUsesThroughoutElseLf() {
        QFETCH(QString, note);
        QFETCH(LineEnding, ending);
        QFETCH(QByteArray, written);
        QCOMPARE(window::lineEndingOf(note.toUtf8()), ending);
        QCOMPARE(window::withLineEnding(note, ending).toUtf8(), written);
        view().setNoteText(note);
        // Qt's own document is the oracle for where lines break.
        QCOMPARE(text()->document()->toRawText(), shownLines(note));
        QCOMPARE(view().lineEnding(), ending);
        QVERIFY(view().saveEncryptedText(saved()).ok());
        QCOMPARE(decryptedFile(saved()), written);
    }

    void openAndSaveKeepTheNoteByteForByte_data() {
        QTest::addColumn<QString>("note");
        const QString spaces = QStringLiteral("no-break\u00A0space\ttab  \n\n\u2028\nlast line without break");
        QTest::newRow("empty") << QString();
        QTest::newRow("LF") << spaces;
        QTest::newRow("CR LF") << QString(spaces).replace(u'\n', QStringLiteral("\r\n"));
        QTest::newRow("CR") << QString(spaces).replace(u'\n', u'\r');
        QTest::newRow("long LF") << longNote(QStringLiteral("\n"));
        QTest::newRow("long CR LF") << longNote(QStringLiteral("\r\n"));
        QTest::newRow("long, CR LF across slices")
            << noteWithSplittableBytes(QStringLiteral("\r\n"), QStringLiteral("\r\n"));
        QTest::newRow("long, UTF-8 across slices")
            << noteWithSplittableBytes(QStringLiteral("😀"), QStringLiteral("\n"));
    }
    void openAndSaveKeepTheNoteByteForByte() {
        QFETCH(QString, note);
        const QString file = m_dir.filePath(QStringLiteral("opened.vpd"));
        QVERIFY(
            cipher::saveEncryptedText(file.toStdString(), note.toStdString(), "pw", cipher::noteIv, {}, m_log).ok());
        const cipher::Result<QString> opened = view().openEncryptedText(file);
        QVERIFY(opened.ok());
        QCOMPARE(opened.value(), note);
        QVERIFY(view().loadEncryptedText(file).ok());
        QTRY_VERIFY_WITH_TIMEOUT(!view().isLoading(), loadTimeoutMs);

        QCOMPARE(text()->document()->toRawText(), shownLines(note));
        QCOMPARE(view().noteText(), note);
        QVERIFY(!view().isModified());
        QVERIFY(view().saveEncryptedText(saved()).ok());
        QCOMPARE(decryptedFile(saved()), note.toUtf8());
    }

    void aLongNoteLoadsReadOnlyAndIsSavedOnlyWhole() {
        const QString note = longNote(QStringLiteral("\r\n"));
        QSignalSpy loading(&view(), &window::ViewController::loadingChanged);
        view().setNoteText(note);
        QVERIFY(view().isLoading());
        QCOMPARE(loading.count(), 1);
        QVERIFY(text()->isReadOnly());
        QVERIFY(!view().isModified());
        QCOMPARE(view().noteText(), note);
        QTest::keyClicks(text(), QStringLiteral("typed too early"));
        QCOMPARE(view().noteText(), note);

        // Saving before the note is whole puts the rest in first: a part of it is never written.
        QVERIFY(view().saveEncryptedText(saved()).ok());
        QCOMPARE(decryptedFile(saved()), note.toUtf8());
        QVERIFY(!view().isLoading());
        QCOMPARE(loading.count(), 2);
        QVERIFY(!text()->isReadOnly());

        QCOMPARE(text()->textCursor().position(), 0);
        QTest::keyClicks(text(), QStringLiteral("x"));
        QCOMPARE(view().noteText(), QStringLiteral("x") + note);
        QVERIFY(view().isModified());
        text()->undo();
        QCOMPARE(view().noteText(), note);
    }

    void replacingANoteWhileItLoadsLeavesOnlyTheNewOneAndFindWaitsForIt() {
        view().setNoteText(longNote(QStringLiteral("\n")));
        QVERIFY(view().isLoading());
        view().setNoteText(QStringLiteral("short"));
        QVERIFY(!view().isLoading());
        QVERIFY(!text()->isReadOnly());
        QCOMPARE(view().noteText(), QStringLiteral("short"));

        const QString second = longNote(QStringLiteral("\r")) + QStringLiteral("needle");
        view().setNoteText(longNote(QStringLiteral("\n")));
        view().setNoteText(second);
        QVERIFY(!child<QAction>("actionFind")->isEnabled() && !child<QAction>("actionFindNext")->isEnabled());
        // Putting the note in is no change of the user's, not even for a moment within one turn.
        bool everMarked = false;
        const QMetaObject::Connection marked =
            connect(text()->document(), &QTextDocument::modificationChanged, this,
                    [&] { everMarked = everMarked || m_window->isWindowModified(); });
        QTRY_VERIFY_WITH_TIMEOUT(!view().isLoading(), loadTimeoutMs);
        disconnect(marked);
        QVERIFY(!everMarked && !view().isModified());
        QCOMPARE(view().noteText(), second);
        QVERIFY(!text()->isReadOnly());
        QVERIFY(child<QAction>("actionFind")->isEnabled());
        trigger("actionFind");
        QTest::keyClicks(findField(), QStringLiteral("needle"));
        QCOMPARE(selection(), QStringLiteral("needle"));
        QTest::keyClick(text(), Qt::Key_X);
        QVERIFY(m_window->isWindowModified());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
