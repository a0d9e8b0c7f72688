#include "app/recovery_copy.h"
#include "cipher/files/recovery_slot.h"
#include "scripted_seams.h"
#include "window/note_lock.h"
#include "window/recovery_bar.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>

#include <filesystem>

using platform::UnsavedChangesChoice;

namespace {

constexpr auto marker = "MARKER-7f3a";

} // namespace

// Through the real window, with the recovery folder in a temporary state folder of each test's own.
class RecoveryTest : public EditorFixture {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_state;
    QString folder() { return m_state->filePath(QStringLiteral("vellumpad/recovery")); }
    QStringList copies() { return QDir(folder()).entryList({QStringLiteral("*.vpd")}, QDir::Files | QDir::Hidden); }
    window::RecoveryBar& bar() { return *vc().findChild<window::RecoveryBar*>(); }
    void press(const char* button) { vc().findChild<QPushButton*>(QString::fromLatin1(button))->click(); }

    // The copy a window that is gone left behind: a note file and its about under password, with no lock held.
    cipher::RecoverySlot leaveCopy(const QString& text, const QString& notePath, const QString& password) {
        [&] { QVERIFY(cipher::makePrivateFolder(folder().toStdString()).ok()); }();
        const cipher::RecoverySlot slot = cipher::recoverySlot(folder().toStdString(), cipher::newRecoverySlotId());
        writeNote(QString::fromStdString(slot.copy), text, password);
        const app::RecoveryAbout about{notePath, QDateTime::currentDateTimeUtc()};
        writeNote(QString::fromStdString(slot.about), QString::fromStdString(app::aboutText(about)), password);
        return slot;
    }

private slots:
    void init() {
        m_state = std::make_unique<QTemporaryDir>();
        qputenv("XDG_STATE_HOME", m_state->path().toUtf8());
        startEditor();
    }
    void cleanup() { m_editor.reset(); }

    void aCopyIsKeptWhileChangesAreUnsaved_data() {
        QTest::addColumn<QString>("end");
        QTest::newRow("saved") << QStringLiteral("Save");
        QTest::newRow("discarded for New") << QStringLiteral("New");
        QTest::newRow("discarded for Open") << QStringLiteral("Open");
        QTest::newRow("undone") << QStringLiteral("Undo");
        QTest::newRow("quit, discarded") << QStringLiteral("Quit");
        QTest::newRow("copies turned off") << QStringLiteral("off");
    }

    void aCopyIsKeptWhileChangesAreUnsaved() {
        QFETCH(QString, end);
        const QString note = openNote(QStringLiteral("on disk"));
        app::RecoveryKeeper& keeper = m_editor->recoveryKeeper();
        keeper.setDelays(std::chrono::milliseconds(20), std::chrono::milliseconds(100));
        QSignalSpy written(&keeper, &app::RecoveryKeeper::copyWritten);
        type(QString::fromLatin1(marker));
        QTRY_COMPARE(written.count(), 1);

        const auto slot = cipher::recoverySlot(folder().toStdString(), keeper.slotId().toStdString());
        QCOMPARE(decryptFile(QString::fromStdString(slot.copy), QStringLiteral("pw")),
                 QString::fromLatin1(marker) + QStringLiteral("on disk"));
        const auto about = app::parseAbout(decryptFile(QString::fromStdString(slot.about), "pw").toStdString());
        QVERIFY(about);
        QCOMPARE(about->path, note);
        QVERIFY(qAbs(about->time.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QCOMPARE(QFileInfo(folder()).permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QDirIterator each(m_state->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
        while (each.hasNext()) {
            const QString file = each.next();
            QVERIFY2(!bytesOf(file).contains(marker), qPrintable(file));
            if (each.fileInfo().isFile()) {
                QCOMPARE(each.fileInfo().permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);
            }
        }

        m_prompts.answer = UnsavedChangesChoice::Discard;
        m_panels.openAnswer = url(note);
        if (end == QLatin1String("Save")) {
            trigger("actionSave");
        } else if (end == QLatin1String("New")) {
            trigger("actionNew");
        } else if (end == QLatin1String("Open")) {
            trigger("actionOpen");
        } else if (end == QLatin1String("Undo")) {
            trigger("actionUndo");
        } else if (end == QLatin1String("Quit")) {
            QVERIFY(window().close());
            m_editor.reset();
        } else {
            keeper.setEnabled(false);
        }
        QCOMPARE(copies(), QStringList());
        if (end == QLatin1String("off")) {
            type(QStringLiteral("more"));
            keeper.finishPendingCopy();
            QCOMPARE(copies(), QStringList());
        }
    }

    // Locking finishes the copy of the changes so far. Locked, the window shows no note: the copy is neither made
    // again (from nothing) nor removed, so that the changes survive a crash while locked; unlocked, copies go on.
    void theCopyIsKeptAsItWasWhileLocked() {
        app::RecoveryKeeper& keeper = m_editor->recoveryKeeper();
        keeper.setDelays(std::chrono::hours(1), std::chrono::hours(1));
        const auto copied = [&] {
            const auto slot = cipher::recoverySlot(folder().toStdString(), keeper.slotId().toStdString());
            return decryptFile(QString::fromStdString(slot.copy), QStringLiteral("pw"));
        };
        type(QStringLiteral("one "));
        trigger("actionLock");
        QVERIFY(window().noteLock().isLocked());
        QCOMPARE(copied(), QStringLiteral("one "));
        keeper.finishPendingCopy();
        QCOMPARE(copied(), QStringLiteral("one "));
        QCOMPARE(window().noteLock().unlock(QStringLiteral("pw")), window::NoteLock::Unlock::Unlocked);
        QCOMPARE(copied(), QStringLiteral("one "));
        type(QStringLiteral("two "));
        keeper.finishPendingCopy();
        QCOMPARE(copied(), QStringLiteral("one two "));
    }

    void aPasswordAskedForOnceARunIsNeverAskedForByACopy() {
        m_editor.reset();
        const QString placeKey = QString::fromLatin1(platform::passwordPlaceKey);
        QVERIFY(m_preferences.setString(placeKey, QStringLiteral("nowhere")));
        startEditor();
        app::RecoveryKeeper& keeper = m_editor->recoveryKeeper();
        type(QStringLiteral("typed"));
        keeper.finishPendingCopy();
        QCOMPARE(copies(), QStringList());
        // Once Open or Save has asked for it, the copy is made under it.
        QVERIFY(!m_editor->delegate().passwordPlaces().asked().write(QStringLiteral("run")));
        keeper.finishPendingCopy();
        const auto slot = cipher::recoverySlot(folder().toStdString(), keeper.slotId().toStdString());
        QCOMPARE(decryptFile(QString::fromStdString(slot.copy), QStringLiteral("run")), QStringLiteral("typed"));
        QVERIFY(m_preferences.setString(placeKey, QStringLiteral("preferences")));
    }

    void changesLeftBehindAreOffered_data() {
        QTest::addColumn<QString>("copy");
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("choice");
        QTest::newRow("restored at start") << QStringLiteral("titled") << QStringLiteral("start") << "recoveryRestore";
        QTest::newRow("restored on Open") << QStringLiteral("titled") << QStringLiteral("Open") << "recoveryRestore";
        QTest::newRow("untitled, restored")
            << QStringLiteral("untitled") << QStringLiteral("start") << "recoveryRestore";
        QTest::newRow("discarded") << QStringLiteral("titled") << QStringLiteral("start") << "recoveryDiscard";
        QTest::newRow("another password")
            << QStringLiteral("other password") << QStringLiteral("start") << "recoveryAnotherPassword";
        QTest::newRow("damaged, kept") << QStringLiteral("damaged") << QStringLiteral("start") << QString();
        QTest::newRow("another window's") << QStringLiteral("locked") << QStringLiteral("start") << QString();
    }

    void changesLeftBehindAreOffered() {
        QFETCH(QString, copy);
        QFETCH(QString, when);
        QFETCH(QString, choice);
        const QString note = path(QStringLiteral("n.vpd"));
        writeNote(note, QStringLiteral("on disk"), QStringLiteral("pw"));
        const QByteArray noteBytes = bytesOf(note);
        const QString recovered = QStringLiteral("recovered\r\nä");
        const bool titled = copy != QLatin1String("untitled");
        const auto slot =
            leaveCopy(recovered, titled ? note : QString(), copy == QLatin1String("other password") ? "old" : "pw");
        std::optional<cipher::RecoveryLock> otherWindow;
        if (copy == QLatin1String("damaged")) {
            writeBytes(QString::fromStdString(slot.about), "\xff\xfe not text");
        } else if (copy == QLatin1String("locked")) {
            otherWindow = cipher::RecoveryLock::claim(slot);
        }
        if (when == QLatin1String("start")) {
            m_editor->offerRecovery();
        } else {
            QVERIFY(m_editor->delegate().openNote(note));
        }

        if (copy == QLatin1String("locked")) {
            QCOMPARE(bar().message(), QString());
            return;
        }
        QVERIFY2(bar().message().contains(copy == QLatin1String("damaged")          ? "damaged"
                                          : copy == QLatin1String("other password") ? "do not open"
                                          : titled                                  ? qPrintable(note + " from ")
                                                                                    : "名称未設定 from "),
                 qPrintable(bar().message()));
        if (choice.isEmpty()) {
            QVERIFY(QFile::exists(QString::fromStdString(slot.copy)));
            return;
        }
        if (copy == QLatin1String("other password")) {
            m_prompts.passwords = {QStringLiteral("wrong"), QStringLiteral("old")};
            press("recoveryAnotherPassword");
            QCOMPARE(m_prompts.refusals.size(), 2);
            QVERIFY(bar().message().contains(note));
            choice = QStringLiteral("recoveryRestore");
            // The note is keyed to the password the changes opened under, so Save asks before re-keying it.
            m_prompts.saveUnderNewPassword = true;
        }
        press(qPrintable(choice));
        QCOMPARE(bar().message(), QString());
        if (choice == QLatin1String("recoveryDiscard")) {
            QCOMPARE(copies(), QStringList());
            return;
        }
        QCOMPARE(vc().noteText(), recovered);
        QCOMPARE(vc().filename, titled ? note : QString());
        QCOMPARE(vc().title(), titled ? note : QStringLiteral("名称未設定"));
        QVERIFY(window().isWindowModified());
        QCOMPARE(bytesOf(note), noteBytes);
        // The restored copy is the window's own now: still there, and gone once the note is saved.
        QVERIFY(QFile::exists(QString::fromStdString(slot.copy)));
        m_panels.saveAnswer = url(note);
        trigger("actionSave");
        QCOMPARE(decryptFile(note, QStringLiteral("pw")), recovered);
        QCOMPARE(copies(), QStringList());
    }
};

QTEST_MAIN(RecoveryTest)
#include "recovery_test.moc"
