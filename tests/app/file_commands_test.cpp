#include "app/recent_notes.h"
#include "app/reload_offer.h"
#include "scripted_seams.h"
#include "window/file_drop.h"
#include "window/note_lock.h"
#include "window/recent_notes_menu.h"
#include "window/reload_bar.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using platform::OverwriteChoice;
using platform::OverwriteReason;
using platform::UnsavedChangesChoice;

class FileCommandsTest : public EditorFixture {
    Q_OBJECT

    // Rows of the tables below, their columns named where each is fetched.
    using ReloadRow = std::tuple<QString, bool, UnsavedChangesChoice, QString>;
    using OverwriteRow = std::tuple<QString, OverwriteChoice, std::optional<OverwriteReason>>;

private slots:
    void init() { startEditor(); }
    void cleanup() { m_editor.reset(); }

    void theFileWrittenIsTheAbsoluteFileChosen_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("accepted");
        // Relative to the test's folder; a name typed as "//tmp/..." reaches the URL with its first folder as host.
        QTest::newRow("plain") << QStringLiteral("/") << true;
        QTest::newRow("two leading slashes") << QStringLiteral("//") << true;
        QTest::newRow("not a file URL") << QStringLiteral("https://example.org/n.vpd") << false;
    }

    void theFileWrittenIsTheAbsoluteFileChosen() {
        QFETCH(QString, chosen);
        QFETCH(bool, accepted);
        const QString target = path(QStringLiteral("100% sure é.vpd"));
        const QUrl answer = accepted ? url(chosen.left(chosen.size() - 1) + target) : QUrl(chosen);
        QVERIFY(!accepted || answer.host().isEmpty() == (chosen == QLatin1String("/")));
        type(QStringLiteral("words"));
        m_panels.saveAnswer = answer;
        trigger("actionSaveAs");
        if (!accepted) {
            checkNamed({});
            QVERIFY(problemSays(QStringLiteral("not a valid file path")));
            QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("n.vpd"))));
            return;
        }
        checkNamed(target);
        QCOMPARE(decryptFile(target, QStringLiteral("pw")), QStringLiteral("words"));
        QVERIFY(!window().isWindowModified());
    }

    void openRecentListsTheLastTenNotesNewestFirstAndOpensThem() {
        auto* recent = window().findChild<app::RecentNotes*>();
        recent->clear();
        QStringList notes;
        for (int i = 0; i < 12; ++i) {
            notes << writtenNote(QStringLiteral("n%1 & co.vpd").arg(i), QStringLiteral("note %1").arg(i));
        }
        open(notes[0]);
        for (int i = 1; i < 12; ++i) {
            QVERIFY(m_editor->delegate().openNote(notes[i]));
        }
        QVERIFY(QFile::remove(notes[5]));
        window::RecentNotesMenu& menu = window().recentNotesMenu();
        emit menu.aboutToShow();
        const QList<QAction*> entries = menu.actions();
        QCOMPARE(entries.size(), 12); // ten notes, a separator and Clear List
        for (int i = 0; i < 10; ++i) {
            QString shown = notes[11 - i];
            shown.replace(QStringLiteral("&"), QStringLiteral("&&"));
            QCOMPARE(entries[i]->text(), QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(shown));
            QCOMPARE(entries[i]->isEnabled(), 11 - i != 5);
        }

        // Choosing one asks about unsaved changes first.
        type("edited");
        entries[8]->trigger();
        QCOMPARE(m_prompts.asked.size(), 1);
        QCOMPARE(vc().filename, notes[11]);
        m_prompts.answer = UnsavedChangesChoice::Discard;
        entries[8]->trigger();
        QCOMPARE(vc().filename, notes[3]);
        QCOMPARE(text(), QStringLiteral("note 3"));
        QCOMPARE(recent->paths().first(), notes[3]);

        menu.findChild<QAction*>(QStringLiteral("actionClearRecentNotes"))->trigger();
        QVERIFY(recent->paths().isEmpty());
        // Turned off, nothing is remembered until it is turned on again.
        recent->add(notes[1]);
        recent->setRemembering(false);
        QVERIFY(recent->paths().isEmpty());
        QVERIFY(m_editor->delegate().openNote(notes[2]));
        QVERIFY(recent->paths().isEmpty());
        recent->setRemembering(true);
        QVERIFY(m_editor->delegate().openNote(notes[2]));
        QCOMPARE(recent->paths(), QStringList{notes[2]});
        // The desktop's shared list of recent files never hears of a note.
        QVERIFY(!QFile::exists(QDir::homePath() + QStringLiteral("/.local/share/recently-used.xbel")));
    }

    void aFileDroppedOnTheWindowIsOpenedAfterTheUnsavedChangesQuestion() {
        const QString note = writtenNote(QStringLiteral("dropped.vpd"), QStringLiteral("dropped"));
        QMimeData file;
        file.setUrls({url(note)});
        QWidget* target = vc().myTextView->viewport();
        const auto drop = [target](const QMimeData& data) {
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &dropped);
            return dropped.isAccepted();
        };
        type("unsaved");
        QVERIFY(drop(file));
        QCOMPARE(m_prompts.asked.size(), 1);
        QCOMPARE(text(), QStringLiteral("unsaved"));
        m_prompts.answer = UnsavedChangesChoice::Discard;
        QVERIFY(drop(file));
        QCOMPARE(vc().filename, note);
        QCOMPARE(text(), QStringLiteral("dropped"));
        // Text is no file: the note view takes it as it always has.
        QMimeData words;
        words.setText(QStringLiteral("words"));
        QVERIFY(window::FileDrop::droppedFile(&words).isEmpty());
        QCOMPARE(vc().filename, note);
    }

    void reloadOffersTheFileChangedOnDiskAndNeverShowsWhatFailedToOpen_data() {
        QTest::addColumn<ReloadRow>("row");
        const UnsavedChangesChoice discard = UnsavedChangesChoice::Discard, cancel = UnsavedChangesChoice::Cancel;
        QTest::newRow("theirs, reloaded") << ReloadRow{"theirs", false, discard, "theirs"};
        QTest::newRow("theirs, edits discarded") << ReloadRow{"theirs", true, discard, "theirs"};
        QTest::newRow("theirs, edits kept") << ReloadRow{"theirs", true, cancel, "mine"};
        QTest::newRow("rekeyed") << ReloadRow{"rekeyed", false, discard, "mine"};
        QTest::newRow("same text again") << ReloadRow{"same", false, discard, "mine"};
        QTest::newRow("removed") << ReloadRow{"removed", false, discard, "mine"};
    }

    void reloadOffersTheFileChangedOnDiskAndNeverShowsWhatFailedToOpen() {
        QFETCH(ReloadRow, row);
        const auto& [change, edited, answer, shown] = row;
        QAction* reload = action(*m_editor, "actionReload");
        const window::ReloadBar& bar = window().findChild<app::ReloadOffer*>()->bar();
        QVERIFY(!reload->isEnabled());
        const QString note = openNote(QStringLiteral("on disk"));
        QVERIFY(reload->isEnabled());
        vc().setNoteText(QStringLiteral("mine"));
        trigger("actionSave");
        if (change == QLatin1String("removed")) {
            QVERIFY(QFile::remove(note));
        } else {
            writeNote(note, change == QLatin1String("theirs") ? QStringLiteral("theirs") : QStringLiteral("mine"),
                      change == QLatin1String("rekeyed") ? QStringLiteral("new pw") : QStringLiteral("pw"));
        }
        if (edited) {
            vc().setNoteText(QStringLiteral("mine"));
            vc().setModified(true);
        }
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&window(), &activate);
        const bool changed = change == QLatin1String("theirs") || change == QLatin1String("rekeyed");
        QCOMPARE(bar.isVisible(), changed);
        QCOMPARE(bar.message().contains(note), changed);
        if (!changed) {
            return;
        }
        m_prompts.answer = answer;
        bar.findChild<QPushButton*>(QStringLiteral("reloadBarReload"))->click();
        QCOMPARE(m_prompts.asked.size(), edited ? 1 : 0);
        QCOMPARE(text(), shown);
        QVERIFY(!bar.isVisible());
        const bool rekeyed = change == QLatin1String("rekeyed");
        QCOMPARE(vc().findChild<QPushButton*>(QStringLiteral("problemAction"))->isVisible(), rekeyed);
        // Until the note on disk is read whole, it is still changed underneath; once read, it is the window's own.
        QApplication::sendEvent(&window(), &activate);
        QCOMPARE(bar.isVisible(), rekeyed || answer == UnsavedChangesChoice::Cancel);
        // Locked, the window reads nothing.
        trigger("actionLock");
        QVERIFY(window().noteLock().isLocked());
        QVERIFY(!reload->isEnabled());
    }

    void ignoredTheBarStaysAwayUntilTheFileChangesAgainEvenReadOnly() {
        const QString note = path(QStringLiteral("n.vpd"));
        writeNote(note, QStringLiteral("on disk"), QStringLiteral("pw"));
        QVERIFY(m_editor->delegate().openNote(note));
        const window::ReloadBar& bar = window().findChild<app::ReloadOffer*>()->bar();
        QEvent activate(QEvent::WindowActivate);
        for (const QString& theirs : {QStringLiteral("theirs"), QStringLiteral("theirs again")}) {
            writeNote(note, theirs, QStringLiteral("pw"));
            QVERIFY(QFile::setPermissions(note, QFile::ReadOwner));
            QApplication::sendEvent(&window(), &activate);
            QVERIFY(bar.message().contains(note));
            bar.findChild<QPushButton*>(QStringLiteral("reloadBarIgnore"))->click();
            QApplication::sendEvent(&window(), &activate);
            QVERIFY(!bar.isVisible());
        }
    }

    void panelsStartInTheFolderOfTheNote() {
        QVERIFY(QDir().mkpath(path(QStringLiteral("sub"))));
        const QString note = writtenNote(QStringLiteral("sub/n.vpd"), QStringLiteral("x"));
        trigger("actionOpen");
        QVERIFY(m_editor->delegate().openNote(note));
        trigger("actionOpen");
        trigger("actionSaveAs");
        trigger("actionNew");
        trigger("actionSaveAs");
        // Without a note, the panels start at home until one has chosen a file, then in that file's folder.
        QVERIFY(QDir().mkpath(path(QStringLiteral("other"))));
        open(path(QStringLiteral("other/missing.vpd")));
        trigger("actionNew");
        trigger("actionSaveAs");
        QCOMPARE(m_panels.startDirectories,
                 (QStringList{QDir::homePath(), path(QStringLiteral("sub")), path(QStringLiteral("sub")),
                              QDir::homePath(), QDir::homePath(), path(QStringLiteral("other"))}));
        // A remembered folder that is gone counts for nothing.
        QVERIFY(QDir(path(QStringLiteral("other"))).removeRecursively());
        trigger("actionSaveAs");
        QCOMPARE(m_panels.startDirectories.last(), QDir::homePath());
    }

    void markerAndGuardAgree_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("modified");
        QTest::newRow("typed") << QStringLiteral("typed") << true;
        QTest::newRow("New") << QStringLiteral("actionNew") << false;
        QTest::newRow("Open") << QStringLiteral("actionOpen") << false;
        QTest::newRow("Save") << QStringLiteral("actionSave") << false;
        QTest::newRow("failed Save") << QStringLiteral("failed Save") << true;
        // The opened text again, but the note is named after the path that failed, which holds nothing.
        QTest::newRow("failed Save, undone") << QStringLiteral("failed Save, undone") << true;
        QTest::newRow("Undo to the saved state") << QStringLiteral("Undo") << false;
        QTest::newRow("Undo past the saved state") << QStringLiteral("Undo twice") << true;
    }

    void markerAndGuardAgree() {
        QFETCH(QString, step);
        QFETCH(bool, modified);
        const QString note = openNote(QStringLiteral("on disk"));
        type(QStringLiteral("typed "));
        m_prompts.answer = UnsavedChangesChoice::Discard;
        m_panels.openAnswer = url(note);
        m_panels.saveAnswer = url(path(QStringLiteral("no folder/x.vpd")));
        if (step.startsWith(QLatin1String("action"))) {
            trigger(qPrintable(step));
        } else if (step.startsWith(QLatin1String("failed Save"))) {
            trigger("actionSaveAs");
            for (int i = 0;
                 i < 10 && step.endsWith(QLatin1String("undone")) && vc().noteText() != QLatin1String("on disk"); ++i) {
                trigger("actionUndo");
            }
            QCOMPARE(vc().noteText() == QLatin1String("on disk"), step.endsWith(QLatin1String("undone")));
        } else if (step.startsWith(QLatin1String("Undo"))) {
            trigger("actionSave");
            type(QStringLiteral("x"));
            trigger("actionUndo");
            if (step == QLatin1String("Undo twice")) {
                trigger("actionUndo");
            }
        }
        QCOMPARE(window().isWindowModified(), modified);
        // The guard asks before Ctrl+W closes the window exactly when the marker shows.
        m_prompts.asked.clear();
        m_prompts.answer = UnsavedChangesChoice::Cancel;
        QApplication::setActiveWindow(&window());
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        QTest::keyClick(vc().myTextView, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(window().isVisible(), modified);
        QCOMPARE(m_prompts.asked.size(), modified ? 1 : 0);
    }

    void saveAsksBeforeWritingOverAFileChangedUnderneath_data() {
        QTest::addColumn<OverwriteRow>("row");
        const std::optional<OverwriteReason> none, changed = OverwriteReason::ChangedOnDisk,
                                                   readOnly = OverwriteReason::ReadOnly;
        const OverwriteChoice overwrite = OverwriteChoice::Overwrite, saveAs = OverwriteChoice::SaveAs,
                              cancel = OverwriteChoice::Cancel;
        QTest::newRow("another window saved, Cancel") << OverwriteRow{"theirs", cancel, changed};
        QTest::newRow("another window saved, Overwrite") << OverwriteRow{"theirs", overwrite, changed};
        QTest::newRow("rekeyed, Save As") << OverwriteRow{"rekeyed", saveAs, changed};
        QTest::newRow("read-only, Overwrite") << OverwriteRow{"read-only", overwrite, readOnly};
        QTest::newRow("rewritten with the same text") << OverwriteRow{"same text", cancel, none};
        QTest::newRow("rewritten in place, its time set back") << OverwriteRow{"in place", cancel, changed};
        QTest::newRow("removed") << OverwriteRow{"removed", cancel, none};
    }

    void saveAsksBeforeWritingOverAFileChangedUnderneath() {
        QFETCH(OverwriteRow, row);
        const auto& [change, answer, reason] = row;
        const QString elsewhere = path(QStringLiteral("elsewhere.vpd"));
        const QString note = openNote(QStringLiteral("on disk"));
        type(QStringLiteral("mine "));
        // Saved once first: what the window wrote itself is no change underneath.
        trigger("actionSave");
        type(QStringLiteral("more "));
        if (change == QLatin1String("theirs")) {
            writeNote(note, QStringLiteral("theirs"), QStringLiteral("pw"));
        } else if (change == QLatin1String("rekeyed")) {
            writeNote(note, QStringLiteral("mine on disk"), QStringLiteral("new pw"));
        } else if (change == QLatin1String("same text")) {
            writeNote(note, QStringLiteral("mine on disk"), QStringLiteral("pw"));
        } else if (change == QLatin1String("in place")) {
            // Same file, same size, and the modification time put back, as a careless program might.
            cipher::MemoryLog log;
            const std::string other = *cipher::encrypt("mine on dusk", cipher::NoteFormat("pw"), log);
            struct stat before {};
            QVERIFY(::stat(QFile::encodeName(note).constData(), &before) == 0);
            const int fd = ::open(QFile::encodeName(note).constData(), O_WRONLY);
            QVERIFY(fd >= 0 && static_cast<off_t>(other.size()) == before.st_size);
            QCOMPARE(::write(fd, other.data(), other.size()), static_cast<ssize_t>(other.size()));
            ::close(fd);
            const timespec times[2] = {before.st_atim, before.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(note).constData(), times, 0) == 0);
        } else if (change == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(note, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else if (change == QLatin1String("removed")) {
            QVERIFY(QFile::remove(note));
        }
        const QByteArray before = bytesOf(note);
        m_prompts.overwriteAnswer = answer;
        m_panels.saveAnswer = url(elsewhere);
        trigger("actionSave");

        QCOMPARE(m_prompts.overwriteAsked.size(), reason ? 1 : 0);
        if (reason) {
            QCOMPARE(m_prompts.overwriteAsked.first().first, note);
            QCOMPARE(m_prompts.overwriteAsked.first().second, *reason);
        }
        const bool written = !reason || answer == OverwriteChoice::Overwrite;
        const bool savedElsewhere = reason && answer == OverwriteChoice::SaveAs;
        if (written) {
            QCOMPARE(decryptFile(note, QStringLiteral("pw")), QStringLiteral("mine more on disk"));
        } else {
            QCOMPARE(bytesOf(note), before);
        }
        QCOMPARE(QFile::exists(elsewhere), savedElsewhere);
        checkNamed(savedElsewhere ? elsewhere : note);
        QCOMPARE(window().isWindowModified(), !written && !savedElsewhere);
        if (written || savedElsewhere) {
            // Once written, the file is the window's own again: the next save asks only if it is still read-only.
            const bool stillReadOnly = written && reason == OverwriteReason::ReadOnly;
            type(QStringLiteral("!"));
            trigger("actionSave");
            QCOMPARE(m_prompts.overwriteAsked.size(), !reason ? 0 : stillReadOnly ? 2 : 1);
            QCOMPARE(decryptFile(vc().filename, QStringLiteral("pw")), QStringLiteral("mine more !on disk"));
        }
    }

    void saveAsAsksBeforeReplacingAReadOnlyFile() {
        const QString locked = writtenNote(QStringLiteral("locked.vpd"), QStringLiteral("kept"));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner));
        type(QStringLiteral("new"));
        saveAs(locked);
        QCOMPARE(m_prompts.overwriteAsked.size(), 1);
        QCOMPARE(m_prompts.overwriteAsked.first().second, OverwriteReason::ReadOnly);
        QCOMPARE(decryptFile(locked, QStringLiteral("pw")), QStringLiteral("kept"));
        checkNamed({});
        QVERIFY(window().isWindowModified());

        m_prompts.overwriteAnswer = OverwriteChoice::Overwrite;
        saveAs(locked);
        QCOMPARE(decryptFile(locked, QStringLiteral("pw")), QStringLiteral("new"));
    }

    void aPipeChosenAsTheNoteNeverHoldsTheWindow_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Open") << QStringLiteral("actionOpen");
        QTest::newRow("Save As") << QStringLiteral("actionSaveAs");
    }

    void aPipeChosenAsTheNoteNeverHoldsTheWindow() {
        QFETCH(QString, command);
        const QString pipe = path(QStringLiteral("pipe.vpd"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        type(QStringLiteral("kept"));
        m_prompts.answer = UnsavedChangesChoice::Discard;
        m_panels.openAnswer = url(pipe);
        m_panels.saveAnswer = url(pipe);
        // A window left waiting for someone to write to the pipe ends the test by the alarm, rather than never.
        ::alarm(10);
        trigger(qPrintable(command));
        ::alarm(0);
        QCOMPARE(vc().noteText(), QStringLiteral("kept"));
        QVERIFY(window().isWindowModified());
        QVERIFY(problemSays(pipe));
    }

    // A stored value QSettings reads as a list, or a pipe in the preferences file's place, holds no password anyone
    // chose: the window still opens, and nothing is saved or opened under the empty password (saved under it, the
    // note would be readable by anyone) nor under a lossy guess at it. (A file that is no preferences text goes
    // through the same preferences code, which the CLI tests check with such a file.)
    void anUnusableStoredPasswordIsNeitherSavedUnderNorOpenedWith_data() {
        QTest::addColumn<QByteArray>("store");
        QTest::newRow("a list") << QByteArray("[General]\npassword=correct, horse\n");
        QTest::newRow("a pipe") << QByteArray();
    }

    void anUnusableStoredPasswordIsNeitherSavedUnderNorOpenedWith() {
        QFETCH(QByteArray, store);
        const QString file = path(QStringLiteral("Vellumpad.conf"));
        if (store.isEmpty()) {
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else {
            writeBytes(file, store);
        }
        platform::SettingsPreferences preferences(file);
        m_editor = std::make_unique<app::Editor>(preferences, m_panels, m_prompts, m_log);
        const QString note = path(QStringLiteral("n.vpd"));
        type(QStringLiteral("secret"));
        saveAs(note);
        QVERIFY(!QFile::exists(note));
        QVERIFY(problemSays(QStringLiteral("stored password is unusable")));
        QVERIFY(window().isWindowModified());
        QVERIFY(std::find(m_log.lines.begin(), m_log.lines.end(), "Failed!!") != m_log.lines.end());

        const QString other = writtenNote(QStringLiteral("other.vpd"), QStringLiteral("other"), QString());
        m_prompts.answer = UnsavedChangesChoice::Discard;
        open(other);
        QCOMPARE(text(), QStringLiteral("secret"));
        QVERIFY(problemSays(QStringLiteral("stored password is unusable")));
        m_editor.reset();
    }

    void aPasswordKeptNowhereIsAskedForOnceARun() {
        QVERIFY(platform::recordPasswordPlace(m_preferences, platform::PasswordPlace::nowhere));
        QList<std::optional<QString>> answers{std::nullopt, QStringLiteral("run pw")};
        int asked = 0;
        m_editor->delegate().passwordPlaces().asked().setAsk([&]() -> std::optional<QString> {
            ++asked;
            return answers.isEmpty() ? std::nullopt : answers.takeFirst();
        });
        const QString note = path(QStringLiteral("n.vpd"));
        type(QStringLiteral("secret"));
        // Declined: nothing written, under the file's password or any other.
        saveAs(note);
        QVERIFY(!QFile::exists(note));
        QVERIFY(problemSays(QStringLiteral("No password was given")));
        QVERIFY(window().isWindowModified());

        saveAs(note);
        QCOMPARE(decryptFile(note, QStringLiteral("run pw")), QStringLiteral("secret"));
        const QString other =
            writtenNote(QStringLiteral("other.vpd"), QStringLiteral("other"), QStringLiteral("run pw"));
        open(other);
        QCOMPARE(text(), QStringLiteral("other"));
        QCOMPARE(asked, 2);

        QVERIFY(m_preferences.stringForKey(platform::passwordKey) == QStringLiteral("pw"));
        QVERIFY(m_preferences.remove(QString::fromLatin1(platform::passwordPlaceKey)));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
