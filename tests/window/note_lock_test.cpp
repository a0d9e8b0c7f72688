#include "awkward_notes.h"
#include "window/find_bar.h"
#include "window/lock_panel.h"
#include "window/note_lock.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

namespace {

cipher::PasswordFingerprint fingerprintOf(std::string_view password) {
    std::optional<cipher::PasswordFingerprint> fingerprint = cipher::PasswordFingerprint::make();
    if (!fingerprint || !fingerprint->remember(password)) {
        qFatal("no fingerprint");
    }
    return *fingerprint;
}

} // namespace

class NoteLockTest : public WindowFixture {
    Q_OBJECT

    window::NoteLock& lock() { return m_window->noteLock(); }
    // Types the password into the panel and presses Unlock, as the user does.
    void unlockWith(const QString& password) {
        QTest::keyClicks(child<QLineEdit>("unlockPassword"), password);
        QTest::mouseClick(child<QPushButton>("unlockButton"), Qt::LeftButton);
    }
    QString panelMessage() { return child<QLabel>("unlockMessage")->text(); }

private slots:
    void init() { showWindow(); }
    void cleanup() { m_window.reset(); }

    void unlockBringsBackTheNoteAndTheUsersPlaceExactly() {
        QRandomGenerator random(20261207);
        QByteArray manyLines;
        for (int line = 0; line < 300; ++line) {
            manyLines += "line " + QByteArray::number(line) + (line % 3 == 0 ? "\r\n" : "\n");
        }
        for (int round = 0; round < 12; ++round) {
            const QByteArray note = round == 0 ? manyLines : randomAwkwardNote(random);
            view().setNoteUtf8(note.toStdString());
            view().setTitle(QStringLiteral("/secret/place/note.vpd"));
            // An unsaved edit, a selection made backwards, and the view scrolled, unwrapped and zoomed.
            const bool edited = round % 4 != 3;
            if (edited) {
                text()->select(text()->length() / 2, text()->length() / 2);
                QTest::sendKeyEvent(QTest::Press, text(), Qt::Key_unknown, QStringLiteral("ü"), Qt::NoModifier);
                QTest::keyClick(text(), Qt::Key_Tab);
            }
            const QByteArray before = view().noteUtf8();
            m_window->findBar().open();
            QTest::keyClicks(child<QLineEdit>("findField"), QStringLiteral("line"));
            text()->select(text()->length(), text()->length() / 3);
            text()->setWordWrap(round % 2 == 0);
            text()->setZoom(round % 5 - 2);
            text()->setFirstVisibleLine(round == 0 ? 120 : 0);
            const auto place = std::tuple(text()->anchor(), text()->caret(), text()->firstVisibleLine(),
                                          text()->wordWrap(), text()->zoom());

            QVERIFY(lock().lock(fingerprintOf("pw")));
            QCOMPARE(text()->length(), 0);
            QVERIFY(!text()->canUndo());
            QVERIFY(!view().isVisible() && !m_window->findBar().isVisible());
            QVERIFY(child<QLineEdit>("findField")->text().isEmpty());
            QVERIFY(child<window::LockPanel>("lockPanel")->isVisible());
            QVERIFY(child<QLineEdit>("unlockPassword")->hasFocus());
            QVERIFY(!m_window->windowTitle().contains(QStringLiteral("secret")));
            QCOMPARE(m_window->isWindowModified(), edited);
            QCOMPARE(view().isModified(), edited);
            for (const char* name : {"actionNew", "actionOpen", "actionSave", "actionSaveAs", "actionPreferences",
                                     "actionFind", "actionCopy", "actionLock"}) {
                QVERIFY2(!child<QAction>(name)->isEnabled(), name);
            }
            QVERIFY(!lock().lock(fingerprintOf("pw")));

            unlockWith(QStringLiteral("pw"));
            QVERIFY(!lock().isLocked());
            QVERIFY2(view().noteUtf8() == before, qPrintable(QStringLiteral("round %1").arg(round)));
            QCOMPARE(std::tuple(text()->anchor(), text()->caret(), text()->firstVisibleLine(), text()->wordWrap(),
                                text()->zoom()),
                     place);
            QCOMPARE(view().isModified(), edited);
            QCOMPARE(m_window->isWindowModified(), edited);
            QCOMPARE(m_window->windowTitle(), QStringLiteral("/secret/place/note.vpd[*] — Vellumpad"));
            QVERIFY(view().isVisible() && !child<window::LockPanel>("lockPanel")->isVisible());
            QVERIFY(child<QAction>("actionSave")->isEnabled() && child<QAction>("actionLock")->isEnabled());
            // The undo history is gone for good; typing goes on as before.
            QVERIFY(!text()->canUndo());
            QTest::keyClick(text(), Qt::Key_Z);
            QVERIFY(view().isModified());
        }
    }

    void aNoteStillLoadingIsLockedWhole() {
        QByteArray note;
        while (note.size() < 20 * 1024 * 1024) {
            note += "a line of words, \xC3\xBC and \xE2\x80\xA8\r\n";
        }
        view().setNoteUtf8(note.toStdString());
        QVERIFY(view().isLoading());
        QVERIFY(lock().lock(fingerprintOf("pw")));
        QCOMPARE(lock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::Unlocked);
        QVERIFY(!view().isLoading());
        QVERIFY(view().noteUtf8() == note);
        QVERIFY(!view().isModified());
    }

    void wrongPasswordsAreRefusedAndFromTheFifthOnEachTryWaitsLonger() {
        // Wrong tries so far, and the seconds the next must wait.
        const std::pair<int, int> waits[] = {{0, 0}, {4, 0},  {5, 1},   {6, 2},   {7, 4},
                                             {8, 8}, {9, 16}, {10, 30}, {11, 30}, {1000, 30}};
        for (const auto& [wrongTries, seconds] : waits) {
            QCOMPARE(window::unlockWait(wrongTries).count(), seconds);
        }

        view().setNoteText(QStringLiteral("kept"));
        QVERIFY(lock().lock(fingerprintOf("pw")));
        for (const char* wrong : {"", "PW", "pw ", " pw"}) {
            unlockWith(QString::fromUtf8(wrong));
            QVERIFY(lock().isLocked());
            QCOMPARE(panelMessage(), QStringLiteral("Wrong password."));
            QVERIFY(child<QLineEdit>("unlockPassword")->text().isEmpty());
        }
        unlockWith(QStringLiteral("p"));
        QCOMPARE(panelMessage(), QStringLiteral("Wrong password. Wait 1 s before trying again."));
        QVERIFY(!child<QPushButton>("unlockButton")->isEnabled());
        // Even the right password waits its turn.
        QCOMPARE(lock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::TooSoon);
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("unlockButton")->isEnabled(), 3000);
        unlockWith(QStringLiteral("pw"));
        QVERIFY(!lock().isLocked());
        QCOMPARE(view().noteText(), QStringLiteral("kept"));
        // The count starts again after an unlock.
        QVERIFY(lock().lock(fingerprintOf("pw")));
        QCOMPARE(lock().unlock(QStringLiteral("x")), window::NoteLock::Unlock::WrongPassword);
        QCOMPARE(lock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::Unlocked);
    }

    void copiedTextIsMarkedSecretAndTakenBackOnLock() {
        QClipboard* clipboard = QApplication::clipboard();
        view().setNoteText(QStringLiteral("public words and a secret"));
        text()->select(19, 25);
        child<QAction>("actionCopy")->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("secret"));
        QCOMPARE(clipboard->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
        text()->select(0, 6);
        child<QAction>("actionCut")->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("public"));
        QCOMPARE(clipboard->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));

        QVERIFY(lock().lock(fingerprintOf("pw")));
        QVERIFY(clipboard->text().isEmpty());
        QCOMPARE(lock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::Unlocked);

        // What another program put there since is its own; pasting it into the note is as it always was.
        clipboard->setText(QStringLiteral("from elsewhere"));
        text()->select(0, 0);
        child<QAction>("actionPaste")->trigger();
        QCOMPARE(view().noteText(), QStringLiteral("from elsewhere words and a secret"));
        QVERIFY(lock().lock(fingerprintOf("pw")));
        QCOMPARE(clipboard->text(), QStringLiteral("from elsewhere"));
    }
};

QTEST_MAIN(NoteLockTest)
#include "note_lock_test.moc"
