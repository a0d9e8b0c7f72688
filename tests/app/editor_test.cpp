#include "app/command_line.h"
#include "scripted_seams.h"

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QScreen>

using platform::UnsavedChangesChoice;

class EditorTest : public EditorFixture {
    Q_OBJECT

    // Rows of the tables below, their columns named where each is fetched.
    using CommandLineRow = std::tuple<QStringList, QString, QString, int>;
    using NewPasswordRow = std::tuple<QString, QString, bool, bool, int>;
    using AnotherPasswordRow = std::tuple<QStringList, bool, QStringList, bool>;

    QPushButton* problemAction() { return vc().findChild<QPushButton*>(QStringLiteral("problemAction")); }

private slots:
    void init() { startEditor(); }
    void cleanup() { m_editor.reset(); }

    void theWindowComesBackWhereItWasAndAlwaysFitsItsScreen() {
        const QRect available = window().screen()->availableGeometry();
        QVERIFY(available.contains(window().frameGeometry()));
        window().setGeometry(available.left() + 30, available.top() + 40, 300, 200);
        window().close();
        startEditor();
        QCOMPARE(window().geometry().size(), QSize(300, 200));
        // Within the width of a frame: platforms differ in whether the frame or the inside is put back there.
        QVERIFY(
            (window().geometry().topLeft() - QPoint(available.left() + 30, available.top() + 40)).manhattanLength() <=
            8);

        // Kept from a larger screen: fitted into this one. (Qt itself refuses a kept place that is damaged.)
        window().setGeometry(available.left() + 500, available.top() + 400, 4000, 3000);
        window().close();
        startEditor();
        QVERIFY(available.contains(window().frameGeometry()));
    }

    void commandLineNamesOneNote_data() {
        QTest::addColumn<CommandLineRow>("row");
        QTest::newRow("no file") << CommandLineRow{{}, {}, {}, -1};
        QTest::newRow("relative, tidied") << CommandLineRow{{"../b/./n ö.vpd"}, "/home/b/n ö.vpd", {}, -1};
        QTest::newRow("absolute") << CommandLineRow{{"/n.vpd"}, "/n.vpd", {}, -1};
        QTest::newRow("after --") << CommandLineRow{{"--", "-n.vpd"}, "/home/a/-n.vpd", {}, -1};
        QTest::newRow("several") << CommandLineRow{
            {"x.vpd", "y.vpd", "z.vpd"}, "/home/a/x.vpd", "ignoring \"y.vpd\", \"z.vpd\"", -1};
        QTest::newRow("help") << CommandLineRow{{"--help"}, {}, {}, 0};
    }

    void commandLineNamesOneNote() {
        QFETCH(CommandLineRow, row);
        const auto& [arguments, file, errorsMention, exitStatus] = row;
        const app::StartupRequest request =
            app::parseCommandLine(QStringList{QStringLiteral("vellumpad")} + arguments, QStringLiteral("/home/a"));
        QCOMPARE(request.file, file);
        QCOMPARE(request.exitStatus.value_or(-1), exitStatus);
        QCOMPARE(request.errors.isEmpty(), errorsMention.isEmpty());
        QVERIFY2(request.errors.contains(errorsMention), qPrintable(request.errors));
        QVERIFY(request.errors.isEmpty() || request.errors.contains(QStringLiteral("Usage: vellumpad [file]")));
        QCOMPARE(request.output.contains(QStringLiteral("[file]")), exitStatus == 0);
    }

    void programRunsItsCommandLineBeforeAnyWindow() {
        // The arguments, the exit code, the output and what the errors must mention.
        const std::tuple<QStringList, int, QByteArray, QString> runs[] = {
            // Qt takes its own options first; the rest is the program's.
            {{"-platform", "offscreen", "--bogus"}, 2, {}, QStringLiteral("'bogus'")},
            // Run without any display at all.
            {{"--version"}, 0, "vellumpad " VELLUMPAD_VERSION "\n", {}},
        };
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
            environment.remove(QString::fromLatin1(name));
        }
        for (const auto& [arguments, exitCode, output, errorsMention] : runs) {
            QProcess program;
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(VELLUMPAD_EXECUTABLE), arguments);
            QVERIFY(program.waitForFinished(10000));
            const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
            QCOMPARE(program.exitCode(), exitCode);
            QCOMPARE(program.readAllStandardOutput(), output);
            QVERIFY2(errors.contains(errorsMention) && !errors.contains(QStringLiteral("platform")),
                     qPrintable(errors));
        }
    }

    void failedOpenLeavesTheOpenNoteAloneAndSaysWhichFile_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << QStringLiteral("other.vpd")
                                        << QStringLiteral("wrong password or damaged file");
        QTest::newRow("missing") << QStringLiteral("gone.vpd") << QStringLiteral("no such file");
        // No password opens it, so none is offered.
        QTest::newRow("plain text") << QStringLiteral("diary.txt") << QStringLiteral("not a Vellumpad note");
        QTest::newRow("undecodable URL") << QStringLiteral("%FF.vpd") << QStringLiteral("not a valid file path");
    }

    void failedOpenLeavesTheOpenNoteAloneAndSaysWhichFile() {
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        QVERIFY(QDir().mkpath(path(QStringLiteral("Ordner ü"))));
        // The program opens a note named at start this way; File > Open ends in the same call.
        const QString current = openNote(QStringLiteral("keep\nme ü"), QStringLiteral("Ordner ü/Notiz #1.vpd"));
        const QString chosen = path(fileName);
        if (fileName == QStringLiteral("other.vpd")) {
            writeNote(chosen, QStringLiteral("someone else's"), QStringLiteral("not pw"));
        } else if (fileName == QStringLiteral("diary.txt")) {
            writeBytes(chosen, "Dear diary, today nothing happened at all.\n");
        }
        m_panels.openAnswer =
            fileName.startsWith(QLatin1Char('%')) ? QUrl(QStringLiteral("file://") + chosen) : url(chosen);
        trigger("actionOpen");
        QCOMPARE(text(), QStringLiteral("keep\nme ü"));
        checkNamed(current);
        QVERIFY(!vc().isModified());
        QVERIFY(problemSays(expected) && problemSays(chosen));
        QCOMPARE(problemAction()->isVisible(), fileName == QStringLiteral("other.vpd"));
        QVERIFY(!m_editor->delegate().openNote(chosen));
        QVERIFY(m_editor->delegate().openNote(current));
        QVERIFY(vc().problem().isEmpty());
        QVERIFY(!problemAction()->isVisible());
    }

    void unsavedChangesAreSettledBeforeTheyAreLost() {
        const QString target = writtenNote(QStringLiteral("kept.vpd"), QStringLiteral("on disk"));
        type(QStringLiteral("typed"));

        m_prompts.answer = UnsavedChangesChoice::Cancel;
        trigger("actionNew");
        trigger("actionOpen");
        QVERIFY(!window().close());
        QCOMPARE(m_prompts.asked, QStringList(3, QStringLiteral("名称未設定")));
        QCOMPARE(m_panels.openAsked, 0);
        QCOMPARE(text(), QStringLiteral("typed"));

        // Saving a note without a file asks for one; a cancelled panel, from Save or from the prompt, stops there.
        trigger("actionSave");
        m_prompts.answer = UnsavedChangesChoice::Save;
        trigger("actionNew");
        QCOMPARE(m_panels.saveAsked, 2);
        checkNamed({});
        QVERIFY(window().isWindowModified());

        // A failed write stops the command too.
        const QString nowhere = path(QStringLiteral("missing folder/x.vpd"));
        m_panels.saveAnswer = url(nowhere);
        m_panels.openAnswer = url(target);
        trigger("actionOpen");
        QCOMPARE(m_panels.saveAsked, 3);
        QCOMPARE(m_panels.openAsked, 0);
        QCOMPARE(text(), QStringLiteral("typed"));
        // The failed write names its path, which is now the note's file and title, and the note stays modified.
        checkNamed(nowhere);
        QVERIFY(window().isWindowModified());
        QVERIFY(problemSays(nowhere));
        QVERIFY(!vc().problem().contains(QStringLiteral("typed")) && !vc().problem().contains(QStringLiteral("pw")));

        m_prompts.answer = UnsavedChangesChoice::Discard;
        trigger("actionOpen");
        QCOMPARE(text(), QStringLiteral("on disk"));

        type(QStringLiteral("more "));
        m_prompts.answer = UnsavedChangesChoice::Save;
        trigger("actionNew");
        QCOMPARE(decryptFile(target, QStringLiteral("pw")), QStringLiteral("more on disk"));
        QVERIFY(text().isEmpty());
        // A new note has no file: Save asks for one instead of writing over the note open before.
        checkNamed({});
        type(QStringLiteral("last"));
        trigger("actionSave");
        QCOMPARE(m_panels.saveAsked, 4);
        QCOMPARE(decryptFile(target, QStringLiteral("pw")), QStringLiteral("more on disk"));
        QVERIFY(vc().filename.isEmpty());

        m_prompts.answer = UnsavedChangesChoice::Discard;
        trigger("actionQuit");
        QVERIFY(!window().isVisible());
    }

    void saveUnderAnotherPasswordAsksFirst_data() {
        QTest::addColumn<NewPasswordRow>("row");
        const QString save = QStringLiteral("actionSave"), saveAs = QStringLiteral("actionSaveAs");
        const QString changed = QStringLiteral("new ü");
        QTest::newRow("Save, cancelled") << NewPasswordRow{save, changed, false, false, 1};
        QTest::newRow("Save, agreed") << NewPasswordRow{save, changed, false, true, 1};
        QTest::newRow("Save As, cancelled") << NewPasswordRow{saveAs, changed, false, false, 1};
        QTest::newRow("Save As, agreed") << NewPasswordRow{saveAs, changed, false, true, 1};
        QTest::newRow("saved before New, cancelled") << NewPasswordRow{"actionNew", changed, false, false, 1};
        QTest::newRow("changed back") << NewPasswordRow{save, "pw", false, false, 0};
        QTest::newRow("after New") << NewPasswordRow{save, changed, true, false, 0};
    }

    void saveUnderAnotherPasswordAsksFirst() {
        QFETCH(NewPasswordRow, row);
        const auto& [command, passwordThen, newFirst, agree, asked] = row;
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        const QString original = openNote(QStringLiteral("on disk"), tag + QStringLiteral(".vpd"));
        const QString copy = path(tag + QStringLiteral(" copy.vpd"));
        setStoredPassword(QStringLiteral("new ü"));
        setStoredPassword(passwordThen);
        if (newFirst) {
            trigger("actionNew");
        }
        type(QStringLiteral("typed "));
        const QString typed = text();
        const QString target = command == QLatin1String("actionSaveAs") ? copy : original;
        m_prompts.answer = UnsavedChangesChoice::Save;
        m_prompts.saveUnderNewPassword = agree;
        m_panels.saveAnswer = url(target);
        trigger(qPrintable(command));
        QCOMPARE(m_prompts.newPasswordAsked, asked);
        if (asked == 1 && !agree) {
            QCOMPARE(decryptFile(original, QStringLiteral("pw")), QStringLiteral("on disk"));
            QVERIFY(!QFile::exists(copy));
            QCOMPARE(m_panels.saveAsked, 0);
            checkNamed(original);
            QCOMPARE(text(), typed);
            QVERIFY(vc().isModified());
            return;
        }
        QCOMPARE(decryptFile(target, passwordThen), typed);
        // Saved under the stored password, the note is not asked about again.
        type(QStringLiteral("more "));
        const QString more = text();
        trigger("actionSave");
        QCOMPARE(m_prompts.newPasswordAsked, asked);
        QCOMPARE(decryptFile(target, passwordThen), more);
    }

    void anotherPasswordOpensTheNoteAndBecomesTheStoredOne_data() {
        QTest::addColumn<AnotherPasswordRow>("row");
        const QString other = QStringLiteral(" sécret 秘 ");
        const QString refused = QStringLiteral("That password does not open “other.vpd” either.");
        QTest::newRow("wrong, then cancelled") << AnotherPasswordRow{{"nope"}, false, {QString(), refused}, false};
        QTest::newRow("wrong, then right")
            << AnotherPasswordRow{{"nope", "sécret", other}, false, {QString(), refused, refused}, true};
        QTest::newRow("unsaved changes kept") << AnotherPasswordRow{{other}, true, {}, false};
    }

    void anotherPasswordOpensTheNoteAndBecomesTheStoredOne() {
        QFETCH(AnotherPasswordRow, row);
        const auto& [passwords, typedMeanwhile, refusals, opens] = row;
        const QString current = openNote(QStringLiteral("mine"), QStringLiteral("current.vpd"));
        const QString other =
            writtenNote(QStringLiteral("other.vpd"), QStringLiteral("theirs"), QStringLiteral(" sécret 秘 "));
        m_panels.openAnswer = url(other);
        trigger("actionOpen");
        QVERIFY(problemAction()->isVisible());
        QCOMPARE(problemAction()->text(), QStringLiteral("Try Another Password…"));
        if (typedMeanwhile) {
            type(QStringLiteral("typed "));
        }
        const QString before = text();
        m_prompts.answer = UnsavedChangesChoice::Cancel;
        m_prompts.passwords = passwords;
        QTest::mouseClick(problemAction(), Qt::LeftButton);
        QCOMPARE(m_prompts.passwordAskedFor, QStringList(refusals.size(), other));
        QCOMPARE(m_prompts.refusals, refusals);
        if (!opens) {
            QCOMPARE(text(), before);
            QCOMPARE(vc().filename, current);
            QCOMPARE(m_editor->delegate().getPassword(), QStringLiteral("pw"));
            QVERIFY(problemAction()->isVisible());
            return;
        }
        QCOMPARE(text(), QStringLiteral("theirs"));
        checkNamed(other);
        QCOMPARE(m_editor->delegate().getPassword(), QStringLiteral(" sécret 秘 "));
        QVERIFY(vc().problem().isEmpty());
        // It opened under the password now stored, so saving it asks nothing and keeps its password.
        type(QStringLiteral("and "));
        trigger("actionSave");
        QCOMPARE(m_prompts.newPasswordAsked, 0);
        QCOMPARE(decryptFile(other, QStringLiteral(" sécret 秘 ")), QStringLiteral("and theirs"));
    }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
