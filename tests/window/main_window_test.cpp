#include "awkward_notes.h"
#include "cipher/base/log.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "window/find_bar.h"
#include "window/match_highlighter.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <string>

namespace {

constexpr int loadTimeoutMs = 60000;

// The core alone writes and reads note files here: it is the oracle for what a file holds.
void writeNote(const QString& path, const QByteArray& note) {
    cipher::MemoryLog log;
    QVERIFY(cipher::saveEncryptedText(path.toStdString(), note.toStdString(), cipher::NoteFormat("pw"), log).ok());
}

QByteArray decryptedFile(const QString& path) {
    cipher::Result<std::string> fileText = cipher::readNoteFile(path.toStdString());
    cipher::Result<std::string> note =
        cipher::decryptWhole(fileText ? fileText.value() : std::string(), cipher::NoteFormat("pw"));
    return note ? QByteArray::fromStdString(note.value()) : QByteArray("<undecryptable>");
}

// More than the part of a note that goes in at once, so that the rest goes in piece by piece; the pieces put
// characters of every UTF-8 length and CR LF pairs at every offset, and so across the edges of the pieces.
QByteArray longNote(qsizetype size) {
    QByteArray note;
    note.reserve(size + 64);
    const QList<QByteArray>& pieces = awkwardPieces();
    for (qsizetype i = 0; note.size() < size; ++i) {
        note += pieces[(i * 7 + 3) % pieces.size()].left(40);
        note += "words";
    }
    return note;
}

} // namespace

class MainWindowTest : public WindowFixture {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString saved() { return m_dir.filePath(QStringLiteral("saved.vpd")); }
    QLineEdit* findField() { return child<QLineEdit>("findField"); }
    QString selection() { return QString::fromUtf8(text()->selectedBytes()); }
    qsizetype selectionStart() { return text()->selection().first; }
    // Opens note through its file, as File > Open does, and waits until it is whole.
    void open(const QByteArray& note) {
        const QString file = m_dir.filePath(QStringLiteral("opened.vpd"));
        writeNote(file, note);
        QVERIFY(view().loadEncryptedText(file).ok());
        QTRY_VERIFY_WITH_TIMEOUT(!view().isLoading(), loadTimeoutMs);
    }
    QByteArray saveAndRead() {
        if (!view().saveEncryptedText(saved()).ok()) {
            return "<not saved>";
        }
        return decryptedFile(saved());
    }

private slots:
    void init() { showWindow(); }
    void cleanup() { m_window.reset(); }

    void anyNoteOpenedAndSavedUneditedComesBackByteForByte() {
        // Random notes from awkward pieces, the same ones at every run so that a failure can be repeated.
        QRandomGenerator random(20261206);
        for (int round = 0; round < 60; ++round) {
            QByteArray note = randomAwkwardNote(random);
            if (round % 5 == 0) {
                note += '\r';
            }
            open(note);
            QVERIFY2(view().noteUtf8() == note, qPrintable(QStringLiteral("round %1").arg(round)));
            QVERIFY(!view().isModified() && !m_window->isWindowModified());
            QVERIFY2(saveAndRead() == note, qPrintable(QStringLiteral("round %1: %2").arg(round).arg(note.toHex())));
        }
    }

    void anEditChangesOnlyWhatWasTypedAndBreaksLinesAsTheNoteDoes_data() {
        QTest::addColumn<QByteArray>("note");
        QTest::addColumn<QByteArray>("lineBreak");
        QTest::newRow("new note") << QByteArray() << QByteArray("\n");
        QTest::newRow("LF") << QByteArray("a\nb\n") << QByteArray("\n");
        QTest::newRow("CR LF, a stray LF") << QByteArray("a\r\nb\r\nc\nd\r\n") << QByteArray("\r\n");
        QTest::newRow("CR, BOM") << QByteArray("\xEF\xBB\xBF") + "a\rb\rc\r" << QByteArray("\r");
        QTest::newRow("mixed, LF ties") << QByteArray("a\r\nb\nc") << QByteArray("\n");
        QTest::newRow("separators are no line breaks")
            << QByteArray(QStringLiteral("a\u2028b\u2029c\uFDD0\r\nd\r\n").toUtf8()) << QByteArray("\r\n");
    }
    void anEditChangesOnlyWhatWasTypedAndBreaksLinesAsTheNoteDoes() {
        QFETCH(QByteArray, note);
        QFETCH(QByteArray, lineBreak);
        open(note);
        const qsizetype at = note.size() / 2;
        text()->select(at, at);
        QTest::sendKeyEvent(QTest::Press, text(), Qt::Key_unknown, QStringLiteral("ü"), Qt::NoModifier);
        QTest::keyClick(text(), Qt::Key_Return);
        QByteArray expected = note;
        expected.insert(at, QByteArray(QStringLiteral("ü").toUtf8()) + lineBreak);
        QCOMPARE(saveAndRead(), expected);
    }

    // The view drops its accessible object while no assistive technology listens; one that asks reads the note.
    void assistiveTechnologyReadsTheNote() {
        view().setNoteText(QStringLiteral("メモ:日本語"));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(text());
        QVERIFY(accessible != nullptr && accessible->textInterface() != nullptr);
        QCOMPARE(accessible->textInterface()->text(0, accessible->textInterface()->characterCount()),
                 QStringLiteral("メモ:日本語"));
    }

    void findStepsThroughMatchesWrapsAndLeavesTheCursorWhenNothingMatches() {
        view().setNoteText(QStringLiteral("one Two\nthree two TWO"));
        // The editor's own key bindings leave the window's shortcuts alone.
        text()->setFocus();
        QTest::keyClick(text(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findField()->hasFocus());
        // Typing searches as it goes, case-insensitively by default.
        QTest::keyClicks(findField(), QStringLiteral("two"));
        QCOMPARE(selectionStart(), 4);
        QTest::keyClick(m_window.get(), Qt::Key_F3);
        trigger("actionFindNext");
        QCOMPARE(selectionStart(), 18);
        QVERIFY(m_window->findBar().status().isEmpty());
        trigger("actionFindNext");
        QCOMPARE(selectionStart(), 4);
        QCOMPARE(m_window->findBar().status(), QStringLiteral("Continued from the top"));
        QTest::keyClick(m_window.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(selection(), QStringLiteral("TWO"));

        child<QCheckBox>("findMatchCase")->setChecked(true);
        QCOMPARE(selection(), QStringLiteral("two"));
        QTest::keyClicks(findField(), QStringLiteral("x"));
        QCOMPARE(m_window->findBar().status(), QStringLiteral("Not found"));
        QVERIFY(m_window->findBar().matchCount().isEmpty());
        QCOMPARE(selection(), QStringLiteral("two"));
        QVERIFY(!m_window->findBar().findPrevious());
        QCOMPARE(selection(), QStringLiteral("two"));

        // Esc returns to the text; a selection within a line is what Find looks for next.
        QTest::keyClick(findField(), Qt::Key_Escape);
        QVERIFY(!m_window->findBar().isVisible());
        QVERIFY(text()->hasFocus());
        text()->select(0, 3);
        trigger("actionFind");
        QCOMPARE(findField()->text(), QStringLiteral("one"));
    }

    void zoomStepsByMenuAndCtrlWheelAndResetRestoresIt() {
        text()->setFocus();
        QTest::keyClick(text(), Qt::Key_Equal, Qt::ControlModifier);
        trigger("actionZoomIn");
        QCOMPARE(text()->zoom(), 2);
        QWheelEvent wheel(QPointF(50, 50), text()->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(text()->viewport(), &wheel);
        QCOMPARE(text()->zoom(), 3);
        QTest::keyClick(text(), Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(text()->zoom(), 4);
        QTest::keyClick(text(), Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(text()->zoom(), 3);
        for (int i = 0; i < 200; ++i) {
            trigger("actionZoomOut");
        }
        // Never so small that the text is gone.
        QVERIFY(text()->zoom() < 0);
        QVERIFY(QFontDatabase::systemFont(QFontDatabase::FixedFont).pointSizeF() + text()->zoom() >= 4);
        trigger("actionResetZoom");
        QCOMPARE(text()->zoom(), 0);
    }

    void statusBarFollowsTheCursorInCharactersAsSeen() {
        auto* position = child<QLabel>("cursorPosition");
        // An emoji is four bytes and "é" here a letter with a combining accent: each is one column.
        view().setNoteText(QStringLiteral("first\r\nab😀ce\u0301x\n"));
        text()->select(7, 7);
        QTRY_COMPARE(position->text(), QStringLiteral("Line 2, Column 1"));
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(text(), Qt::Key_Right);
        }
        QTRY_COMPARE(position->text(), QStringLiteral("Line 2, Column 5"));
        QTest::keyClick(text(), Qt::Key_End);
        QTRY_COMPARE(position->text(), QStringLiteral("Line 2, Column 7"));
        // What is put in before the caret counts too, though the line was counted up to the caret already.
        text()->replace(7, 7, QStringLiteral("日").toUtf8());
        QTRY_COMPARE(position->text(), QStringLiteral("Line 2, Column 8"));
    }

    void goToLineMovesTheCaretClampedToTheNoteInCharacters_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("caret");
        QTest::addColumn<bool>("went");
        // The note: "first\r\n" (0-6), "ab😀ce\u0301x\n" (7-18), "" (19).
        QTest::newRow("line") << QStringLiteral("2") << 7 << true;
        QTest::newRow("line and column, spaces") << QStringLiteral(" 2 : 4 ") << 13 << true;
        QTest::newRow("column after the accented letter") << QStringLiteral("2:6") << 17 << true;
        QTest::newRow("column past the end of the line") << QStringLiteral("1:99") << 5 << true;
        QTest::newRow("line 0 is the first") << QStringLiteral("0:2") << 1 << true;
        QTest::newRow("line past the end") << QStringLiteral("99999999999999999999999") << 19 << true;
        QTest::newRow("not a number") << QStringLiteral("two") << 3 << false;
        QTest::newRow("no column after the colon") << QStringLiteral("2:") << 3 << false;
        QTest::newRow("negative") << QStringLiteral("-2") << 3 << false;
    }
    void goToLineMovesTheCaretClampedToTheNoteInCharacters() {
        QFETCH(QString, typed);
        QFETCH(int, caret);
        QFETCH(bool, went);
        view().setNoteText(QStringLiteral("first\r\nab😀ce\u0301x\n"));
        text()->select(3, 3);
        text()->setFocus();
        QTest::keyClick(text(), Qt::Key_G, Qt::ControlModifier);
        auto* field = child<QLineEdit>("goToLineField");
        QVERIFY(field->hasFocus());
        QCOMPARE(field->text(), QStringLiteral("1"));
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(text()->selection(), (std::pair<qsizetype, qsizetype>(caret, caret)));
        QCOMPARE(child<QWidget>("goToLineBar")->isVisible(), !went);
        QCOMPARE(text()->hasFocus(), went);
        QCOMPARE(view().noteText(), QStringLiteral("first\r\nab😀ce\u0301x\n"));
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!child<QWidget>("goToLineBar")->isVisible());
    }

    void replaceCountsAndMarksMatchesAndReplaceAllIsOneUndoStep() {
        const QString note = QStringLiteral("cat Cat cats\ncat_ concat cat Köln KÖLN");
        view().setNoteText(note);
        text()->setFocus();
        QTest::keyClick(text(), Qt::Key_H, Qt::ControlModifier);
        QVERIFY(findField()->hasFocus() && child<QLineEdit>("replaceField")->isVisible());
        QTest::keyClicks(findField(), QStringLiteral("cat"));
        window::FindBar& bar = m_window->findBar();
        QCOMPARE(bar.matchCount(), QStringLiteral("1 of 6"));
        QCOMPARE(child<window::MatchHighlighter>("matchHighlighter")->marked().size(), 6);
        child<QCheckBox>("findWholeWords")->setChecked(true);
        QCOMPARE(bar.matchCount(), QStringLiteral("1 of 3"));
        child<QCheckBox>("findMatchCase")->setChecked(true);
        QCOMPARE(bar.matchCount(), QStringLiteral("1 of 2"));
        QCOMPARE(child<window::MatchHighlighter>("matchHighlighter")->marked().size(), 2);
        text()->select(2, 2);
        QTRY_COMPARE(bar.matchCount(), QStringLiteral("2 matches"));

        // Replace changes a selected match only, then goes on to the next.
        child<QLineEdit>("replaceField")->setText(QStringLiteral("dog"));
        child<QPushButton>("replaceButton")->click();
        QCOMPARE(view().noteText(), note);
        QCOMPARE(bar.matchCount(), QStringLiteral("2 of 2"));
        child<QPushButton>("replaceButton")->click();
        QCOMPARE(view().noteText(), QStringLiteral("cat Cat cats\ncat_ concat dog Köln KÖLN"));
        QCOMPARE(bar.matchCount(), QStringLiteral("1 of 1"));

        child<QCheckBox>("findWholeWords")->setChecked(false);
        child<QCheckBox>("findMatchCase")->setChecked(false);
        child<QPushButton>("replaceAllButton")->click();
        QCOMPARE(view().noteText(), QStringLiteral("dog dog dogs\ndog_ condog dog Köln KÖLN"));
        QCOMPARE(bar.status(), QStringLiteral("Replaced 5 matches"));
        QCOMPARE(bar.matchCount(), QStringLiteral("No matches"));
        trigger("actionUndo");
        QCOMPARE(view().noteText(), QStringLiteral("cat Cat cats\ncat_ concat dog Köln KÖLN"));
        trigger("actionUndo");
        QCOMPARE(view().noteText(), note);
        QVERIFY(!view().isModified());

        // Letters beyond ASCII in any case; a replacement of another length.
        findField()->setText(QStringLiteral("köln"));
        child<QLineEdit>("replaceField")->setText(QStringLiteral("Bonn am Rhein"));
        QCOMPARE(bar.replaceAll(), 2);
        QCOMPARE(view().noteText(), QStringLiteral("cat Cat cats\ncat_ concat cat Bonn am Rhein Bonn am Rhein"));

        // Closed, the bar leaves no marks and Find opens it without the replacement row.
        QTest::keyClick(findField(), Qt::Key_Escape);
        QVERIFY(child<window::MatchHighlighter>("matchHighlighter")->marked().isEmpty());
        trigger("actionFind");
        QVERIFY(!child<QLineEdit>("replaceField")->isVisible());
    }

    void matchesAreCountedPieceByPieceAndNoneIsMissedAtTheEdges() {
        // "abc" straddles the edge of the first stretch counted at once; the rest follows from the event loop.
        QByteArray note;
        for (int i = 0; i < 3 * 1024 * 1024 / 7; ++i) {
            note += "xyzabc\n";
        }
        view().setNoteText(QString::fromLatin1(note));
        trigger("actionFind");
        findField()->setText(QStringLiteral("ABC"));
        QVERIFY(m_window->findBar().matchCount().isEmpty());
        QTRY_COMPARE(m_window->findBar().matchCount(), QStringLiteral("%1 matches").arg(note.count("abc")));
        trigger("actionFindNext");
        QCOMPARE(m_window->findBar().matchCount(), QStringLiteral("1 of %1").arg(note.count("abc")));
    }

    void aVeryLongNoteLoadsReadOnlyAndIsSavedOnlyWhole() {
        const QByteArray note = longNote(20 * 1024 * 1024) + QStringLiteral("Köln").toUtf8();
        writeNote(m_dir.filePath(QStringLiteral("long.vpd")), note);
        QVERIFY(view().loadEncryptedText(m_dir.filePath(QStringLiteral("long.vpd"))).ok());
        QVERIFY(view().isLoading());
        QVERIFY(!child<QAction>("actionFind")->isEnabled());
        QTest::keyClicks(text(), QStringLiteral("typed too early"));
        QCOMPARE(view().noteUtf8(), note);

        // Saving before the note is whole puts the rest in first: a part of it is never written.
        QVERIFY(saveAndRead() == note);
        QVERIFY(!view().isLoading());
        QVERIFY(!view().isModified() && !m_window->isWindowModified());
        QTest::keyClicks(text(), QStringLiteral("x"));
        trigger("actionUndo");
        QVERIFY(view().noteUtf8() == note);
        QVERIFY(!view().isModified());
        // Loading is no edit: there is nothing more to undo.
        QVERIFY(!child<QAction>("actionUndo")->isEnabled());

        // Letters beyond ASCII match in any case however far into the note.
        text()->select(0, 0);
        trigger("actionFind");
        findField()->setText(QStringLiteral("KÖLN"));
        QVERIFY(m_window->findBar().findNext());
        QCOMPARE(selectionStart(), note.size() - 5);
        QVERIFY(m_window->findBar().findPrevious());
        QCOMPARE(selectionStart(), note.size() - 5);

        // A short note replacing one still loading leaves only itself.
        view().setNoteText(QString::fromUtf8(note));
        view().setNoteText(QStringLiteral("short"));
        QVERIFY(!view().isLoading());
        QCOMPARE(view().noteText(), QStringLiteral("short"));
        QTest::keyClick(text(), Qt::Key_X);
        QCOMPARE(view().noteText(), QStringLiteral("xshort"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
