#include "app/note_password_guard.h"
#include "app/password_places.h"
#include "app/recent_notes.h"
#include "app/recovery_copy.h"
#include "preferences/lock_preferences.h"
#include "preferences/preference_view_controller.h"
#include "scripted_seams.h"
#include "window/note_lock.h"
#include "window/protection_sign.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>

using platform::UnsavedChangesChoice;

// Run in a private session bus of its own (dbus-run-session), where the test plays the desktop's screen saver.
class NoteLockingTest : public EditorFixture {
    Q_OBJECT

    using QuitRow = std::tuple<UnsavedChangesChoice, QStringList, bool, QString>;

    window::NoteLock& lock() { return window().noteLock(); }
    app::NoteLocking& locking() { return m_editor->locking(); }
    static void emitScreenSaver(const char* active) {
        QCOMPARE(QProcess::execute(QStringLiteral("gdbus"),
                                   {"emit", "--session", "--object-path", "/org/freedesktop/ScreenSaver", "--signal",
                                    "org.freedesktop.ScreenSaver.ActiveChanged", QString::fromLatin1(active)}),
                 0);
    }

private slots:
    void init() { startEditor(); }
    void cleanup() { m_editor.reset(); }

    void lockNeedsAPasswordAndTheSignSaysHowTheNoteIsKept() {
        QAction* lockAction = action(*m_editor, "actionLock");
        QVERIFY(lockAction->isEnabled());
        QCOMPARE(locking().sign().text(), QStringLiteral("Encrypted"));

        setStoredPassword(QString());
        QVERIFY(!lockAction->isEnabled());
        QVERIFY(lockAction->toolTip().contains(QStringLiteral("Set a password first")));
        QCOMPARE(locking().sign().text(), QStringLiteral("No password: anyone with the file can read it"));
        QCOMPARE(locking().sign().accessibleName(), locking().sign().text());
        QTest::keyClick(vc().myTextView, Qt::Key_L, Qt::ControlModifier);
        QVERIFY(!lock().isLocked());

        // Saved under the empty password, the note stays so until saved again: only then can it be locked.
        type(QStringLiteral("typed"));
        saveAs(path(QStringLiteral("n.vpd")));
        QCOMPARE(vc().problem(), app::emptyPasswordWarning());
        setStoredPassword(QStringLiteral("new"));
        QVERIFY(vc().problem().isEmpty());
        QCOMPARE(locking().sign().text(), QStringLiteral("Encrypted"));
        QVERIFY(!lockAction->isEnabled());
        m_prompts.saveUnderNewPassword = true;
        trigger("actionSave");
        QVERIFY(lockAction->isEnabled());
        trigger("actionLock");
        QVERIFY(lock().isLocked());
        // Saved under the empty password again, the note says so no more: once a run is enough.
        QCOMPARE(lock().unlock(QStringLiteral("new")), window::NoteLock::Unlock::Unlocked);
        setStoredPassword(QString());
        type(QStringLiteral("!"));
        trigger("actionSave");
        QCOMPARE(decryptFile(path(QStringLiteral("n.vpd")), QString()), text());
        QVERIFY(vc().problem().isEmpty());
    }

    void unlockTakesTheNotesOwnPasswordOrForANewNoteTheStoredOne() {
        openNote(QStringLiteral("opened"));
        setStoredPassword(QStringLiteral("later"));
        QVERIFY(locking().lockNow());
        QCOMPARE(lock().unlock(QStringLiteral("later")), window::NoteLock::Unlock::WrongPassword);
        QCOMPARE(lock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::Unlocked);
        QCOMPARE(text(), QStringLiteral("opened"));

        trigger("actionNew");
        type(QStringLiteral("fresh"));
        QVERIFY(locking().lockNow());
        QCOMPARE(lock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::WrongPassword);
        QCOMPARE(lock().unlock(QStringLiteral("later")), window::NoteLock::Unlock::Unlocked);
        QCOMPARE(text(), QStringLiteral("fresh"));

        // A password asked for this run is forgotten on Lock; the note still unlocks with it.
        app::AppDelegate& delegate = m_editor->delegate();
        QCOMPARE(delegate.keepPasswordIn(platform::PasswordPlace::nowhere, QStringLiteral("asked")), std::nullopt);
        QVERIFY(locking().lockNow());
        QVERIFY(!delegate.passwordPlaces().asked().holdsOne());
        QCOMPARE(lock().unlock(QStringLiteral("asked")), window::NoteLock::Unlock::Unlocked);
        QCOMPARE(delegate.keepPasswordIn(platform::PasswordPlace::preferencesFile, QStringLiteral("pw")), std::nullopt);
    }

    void quitWhileLockedAsksAndSavesOnlyOnceUnlocked_data() {
        QTest::addColumn<QuitRow>("row");
        QTest::newRow("save, wrong then right password")
            << QuitRow{UnsavedChangesChoice::Save, {"wrong", "pw"}, true, "saved, edited"};
        QTest::newRow("save, password cancelled") << QuitRow{UnsavedChangesChoice::Save, {"wrong"}, false, "saved"};
        QTest::newRow("discard") << QuitRow{UnsavedChangesChoice::Discard, {}, true, "saved"};
        QTest::newRow("cancel") << QuitRow{UnsavedChangesChoice::Cancel, {}, false, "saved"};
    }
    void quitWhileLockedAsksAndSavesOnlyOnceUnlocked() {
        QFETCH(QuitRow, row);
        const auto& [choice, passwords, closed, onDisk] = row;
        const QString file = path(QStringLiteral("n.vpd"));
        type(QStringLiteral("saved"));
        saveAs(file);
        type(QStringLiteral(", edited"));
        trigger("actionLock");
        QVERIFY(lock().isLocked());
        m_prompts.answer = choice;
        m_prompts.passwords = passwords;
        trigger("actionQuit");
        QCOMPARE(m_prompts.asked.size(), 1);
        QCOMPARE(window().isVisible(), !closed);
        QCOMPARE(decryptFile(file, QStringLiteral("pw")), onDisk);
        if (passwords.size() > 1) {
            QCOMPARE(m_prompts.refusals, (QStringList{QString(), QStringLiteral("Wrong password.")}));
        }
        QCOMPARE(lock().isLocked(), !closed || choice == UnsavedChangesChoice::Discard);
    }

    void theWindowLocksAfterTimeWithoutUseAndInputPutsItOff() {
        QVERIFY(locking().setLockSettings({1, false}));
        QCOMPARE(locking().idleWatcher().interval(), std::chrono::minutes(1));
        // A minute is too long for a test; the same watcher with a short interval.
        locking().idleWatcher().setInterval(std::chrono::milliseconds(400));
        for (int i = 0; i < 10; ++i) {
            QTest::qWait(100);
            type(QStringLiteral("x"));
            QVERIFY(!lock().isLocked());
        }
        QTRY_VERIFY_WITH_TIMEOUT(lock().isLocked(), 5000);
        QCOMPARE(lock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::Unlocked);
        QCOMPARE(text(), QStringLiteral("xxxxxxxxxx"));

        // Off, or under the empty password, nothing locks.
        setStoredPassword(QString());
        locking().idleWatcher().setInterval(std::chrono::milliseconds(50));
        QTest::qWait(300);
        QVERIFY(!lock().isLocked());
    }

    void theWindowLocksWithTheScreenWhenAsked() {
        emitScreenSaver("true");
        QTest::qWait(300);
        QVERIFY(!lock().isLocked());

        QVERIFY(locking().setLockSettings({0, true}));
        QTest::qWait(100);
        emitScreenSaver("false");
        QTest::qWait(300);
        QVERIFY(!lock().isLocked());
        emitScreenSaver("true");
        QTRY_VERIFY_WITH_TIMEOUT(lock().isLocked(), 5000);
    }

    // Each choice in Preferences, the password too, and word wrap in the View menu, reaches the editor and the next
    // window; the lock's with a word that unlocking needs the password. Wrapping restored at start is not stored again:
    // only a toggle is.
    void preferencesChoicesReachTheEditorAndTheNextWindow() {
        QVERIFY(action(*m_editor, "actionWordWrap")->isChecked() && vc().myTextView->wordWrap());
        QVERIFY(!m_preferences.stringForKey(QStringLiteral("wordWrap")));
        trigger("actionWordWrap");
        QVERIFY(!action(*m_editor, "actionWordWrap")->isChecked() && !vc().myTextView->wordWrap());
        QCOMPARE(m_preferences.stringForKey(QStringLiteral("wordWrap")), QStringLiteral("false"));
        auto* recent = window().findChild<app::RecentNotes*>();
        recent->add(QStringLiteral("/notes/a.vpd"));
        QVERIFY(locking().setLockSettings({}));
        trigger("actionPreferences");
        auto* dialog = window().findChild<preferences::PreferenceViewController*>();
        const auto box = [dialog](const char* name) {
            return dialog->findChild<QCheckBox*>(QString::fromLatin1(name));
        };
        auto* warning = dialog->findChild<QLabel*>(QStringLiteral("lockWarning"));
        QVERIFY(!box("lockWhenIdle")->isChecked() && !box("lockWithScreen")->isChecked() && !warning->isVisible());
        QVERIFY(box("rememberRecentNotes")->isChecked() && box("keepRecoveryCopies")->isChecked());
        box("lockWhenIdle")->setChecked(true);
        QVERIFY(warning->isVisible() && warning->text().contains(QStringLiteral("password")));
        dialog->findChild<QSpinBox*>(QStringLiteral("lockMinutes"))->setValue(7);
        for (const char* name : {"lockWithScreen", "rememberRecentNotes", "keepRecoveryCopies"}) {
            box(name)->toggle();
        }
        dialog->tfPassword->setText(QStringLiteral("typed"));
        dialog->tfRepeat->setText(QStringLiteral("typed"));
        QTest::keyClick(dialog->tfPassword, Qt::Key_Return);
        QCOMPARE(m_editor->delegate().getPassword(), QStringLiteral("typed"));
        QVERIFY(recent->paths().isEmpty());
        // Under the names the preferences file has always used.
        QCOMPARE(m_preferences.stringForKey(QStringLiteral("lockAfterMinutes")), QStringLiteral("7"));
        QCOMPARE(m_preferences.stringForKey(QStringLiteral("lockWithScreen")), QStringLiteral("true"));
        for (const bool again : {false, true}) {
            QCOMPARE(locking().idleWatcher().interval(), std::chrono::minutes(7));
            QVERIFY(locking().lockSettings().withScreen);
            QVERIFY(!window().findChild<app::RecentNotes*>()->remembering());
            QVERIFY(!m_editor->recoveryKeeper().isEnabled());
            QVERIFY(!action(*m_editor, "actionWordWrap")->isChecked() && !vc().myTextView->wordWrap());
            if (!again) {
                m_editor.reset();
                startEditor();
            }
        }
        QVERIFY(locking().setLockSettings({}));
        window().findChild<app::RecentNotes*>()->setRemembering(true);
        QVERIFY(m_preferences.setString(QString::fromLatin1(app::keepRecoveryCopiesKey), QStringLiteral("true")));
        QVERIFY(m_preferences.remove(QStringLiteral("wordWrap")));
    }
};

QTEST_MAIN(NoteLockingTest)
#include "note_locking_test.moc"
