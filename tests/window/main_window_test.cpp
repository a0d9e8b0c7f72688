#include "cipher/log.h"
#include "window/application_delegate.h"
#include "window/find_bar.h"
#include "window/main_window.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

namespace {

struct FakeDelegate final : window::ApplicationDelegate {
    QString getPassword() const override { return {}; }
    void setVc(window::ViewController* viewController) override { vc = viewController; }
    window::ViewController* vc = nullptr;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    cipher::MemoryLog m_log;
    FakeDelegate m_delegate;
    std::unique_ptr<window::MainWindow> m_window;

    QPlainTextEdit* text() { return m_window->viewController().myTextView; }
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
        QCOMPARE(m_delegate.vc, &m_window->viewController());
        QCOMPARE(m_window->viewController().appDelegate, &m_delegate);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("名称未設定[*] — Vellumpad"));
        QVERIFY(!m_window->viewController().isModified());
        QVERIFY(!child<QAction>("actionUndo")->isEnabled() && !child<QAction>("actionCopy")->isEnabled());
        QTest::keyClicks(text(), QStringLiteral("hello"));
        QVERIFY(child<QAction>("actionUndo")->isEnabled());
        QVERIFY(m_window->isWindowModified());
        trigger("actionSelectAll");
        QVERIFY(child<QAction>("actionCopy")->isEnabled());
        trigger("actionUndo");
        QVERIFY(m_window->viewController().noteText().isEmpty());
    }

    void findStepsThroughMatchesAndWrapsAroundTheEnds() {
        m_window->viewController().setNoteText(QStringLiteral("one Two\nthree two TWO"));
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
        m_window->viewController().setNoteText(QStringLiteral("Grüße aus Köln 😀"));
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
        m_window->viewController().setNoteText(QStringLiteral("alpha beta\ngamma"));
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

    void findWaitsUntilALongNoteIsWholeAndLoadingIsNoChange() {
        QString note;
        for (int line = 0; note.size() < (3 << 20); ++line) {
            note += QStringLiteral("line %1 of a long note\n").arg(line);
        }
        note += QStringLiteral("needle");
        window::ViewController& view = m_window->viewController();
        view.setNoteText(note);
        QVERIFY(view.isLoading());
        QVERIFY(!child<QAction>("actionFind")->isEnabled());
        QVERIFY(!child<QAction>("actionFindNext")->isEnabled());
        bool everMarked = false;
        while (view.isLoading()) {
            QCoreApplication::processEvents();
            everMarked = everMarked || m_window->isWindowModified();
        }
        QVERIFY(!everMarked);
        QVERIFY(child<QAction>("actionFind")->isEnabled());
        trigger("actionFind");
        QTest::keyClicks(findField(), QStringLiteral("needle"));
        QCOMPARE(selection(), QStringLiteral("needle"));
        QTest::keyClick(text(), Qt::Key_X);
        QVERIFY(m_window->isWindowModified());
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
        m_window->viewController().setNoteText(QStringLiteral("first\nab😀ce\u0301x\n"));
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

        m_window->statusBar()->showMessage(QStringLiteral("Saved /tmp/x.vpd"));
        QVERIFY(position->isVisible());
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Saved /tmp/x.vpd"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
