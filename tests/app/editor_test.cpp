#include "app/command_line.h"
#include "app/editor.h"
#include "platform/preferences.h"
#include "scripted_seams.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using app::parseCommandLine;

namespace {

struct StartedEditor {
    explicit StartedEditor(platform::Preferences& preferences) : editor(preferences, panels, prompts, log) {}

    ScriptedPanels panels;
    ScriptedPrompts prompts;
    cipher::MemoryLog log;
    app::Editor editor;

    window::ViewController& vc() { return editor.mainWindow().viewController(); }
    QAction* action(const char* name) { return editor.mainWindow().findChild<QAction*>(QString::fromLatin1(name)); }
};

} // namespace

class EditorTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::MemoryPreferences m_preferences;

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        m_preferences.setString(QString::fromLatin1(platform::passwordKey), QStringLiteral("pw"));
    }

    void commandLineNamesOneNote_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("errorsMention");
        QTest::addColumn<int>("exitStatus");
        QTest::newRow("no file") << QStringList{} << ""
                                 << "" << -1;
        QTest::newRow("relative, tidied") << QStringList{"../b/./n ö.vpd"} << "/home/b/n ö.vpd"
                                          << "" << -1;
        QTest::newRow("absolute") << QStringList{"/n.vpd"} << "/n.vpd"
                                  << "" << -1;
        QTest::newRow("after --") << QStringList{"--", "-n.vpd"} << "/home/a/-n.vpd"
                                  << "" << -1;
        QTest::newRow("several") << QStringList{"x.vpd", "y.vpd", "z.vpd"} << "/home/a/x.vpd"
                                 << "ignoring \"y.vpd\", \"z.vpd\"" << -1;
        QTest::newRow("unknown option") << QStringList{"--bogus", "x.vpd"} << ""
                                        << "bogus" << 2;
        QTest::newRow("help") << QStringList{"--help"} << ""
                              << "" << 0;
    }

    void commandLineNamesOneNote() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QFETCH(QString, errorsMention);
        QFETCH(int, exitStatus);
        const app::StartupRequest request =
            parseCommandLine(QStringList{QStringLiteral("vellumpad")} + arguments, QStringLiteral("/home/a"));
        QCOMPARE(request.file, file);
        QCOMPARE(request.exitStatus.value_or(-1), exitStatus);
        QCOMPARE(request.errors.isEmpty(), errorsMention.isEmpty());
        QVERIFY2(request.errors.contains(errorsMention), qPrintable(request.errors));
        if (!request.errors.isEmpty()) {
            QVERIFY(request.errors.contains(QStringLiteral("Usage: vellumpad [file]")));
        }
        QCOMPARE(request.output.contains(QStringLiteral("[file]")), exitStatus == 0);
    }

    void programLetsQtTakeItsOptionsFirst() {
        QProcess program;
        program.start(QStringLiteral(VELLUMPAD_EXECUTABLE),
                      {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--bogus")});
        QVERIFY(program.waitForFinished(10000));
        const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitCode(), 2);
        QVERIFY2(errors.contains(QStringLiteral("'bogus'")) && !errors.contains(QStringLiteral("platform")),
                 qPrintable(errors));
    }

    void noteNamedAtStartOpensLikeFileOpen() {
        const QString note = m_dir.filePath(QStringLiteral("Notiz ü.vpd"));
        writeNote(note, QStringLiteral("hello\nwörld"), QStringLiteral("pw"));
        StartedEditor started(m_preferences);
        QVERIFY(started.editor.delegate().openNote(note));
        QCOMPARE(started.vc().noteText(), QStringLiteral("hello\nwörld"));
        QCOMPARE(started.vc().filename, note);
        QCOMPARE(started.vc().title(), note);
        QVERIFY(started.vc().problem().isEmpty());
    }

    void noteThatFailsAtStartLeavesAnEmptyUntitledNote_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << "not pw"
                                        << "wrong password";
        QTest::newRow("missing") << ""
                                 << "no such file";
    }

    void noteThatFailsAtStartLeavesAnEmptyUntitledNote() {
        QFETCH(QString, password);
        QFETCH(QString, expected);
        const QString note = m_dir.filePath(QStringLiteral("other %1.vpd").arg(QTest::currentDataTag()));
        if (!password.isEmpty()) {
            writeNote(note, QStringLiteral("secret"), password);
        }
        StartedEditor started(m_preferences);
        QVERIFY(!started.editor.delegate().openNote(note));
        QVERIFY(started.vc().noteText().isEmpty());
        QVERIFY(!started.vc().isModified());
        QVERIFY(started.vc().filename.isEmpty());
        QCOMPARE(started.vc().title(), QStringLiteral("名称未設定"));
        QVERIFY2(started.vc().problem().contains(note) && started.vc().problem().contains(expected),
                 qPrintable(started.vc().problem()));
    }

    void wordWrapIsRememberedForTheNextWindow() {
        platform::MemoryPreferences preferences;
        const QString key = QStringLiteral("wordWrap");
        {
            StartedEditor started(preferences);
            QVERIFY(started.action("actionWordWrap")->isChecked());
            QCOMPARE(started.vc().myTextView->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            QVERIFY(!preferences.stringForKey(key));
            started.action("actionWordWrap")->trigger();
            QCOMPARE(started.vc().myTextView->lineWrapMode(), QPlainTextEdit::NoWrap);
            QCOMPARE(preferences.stringForKey(key), QStringLiteral("false"));
        }
        {
            StartedEditor started(preferences);
            QVERIFY(!started.action("actionWordWrap")->isChecked());
            QCOMPARE(started.vc().myTextView->lineWrapMode(), QPlainTextEdit::NoWrap);
            started.action("actionWordWrap")->trigger();
            QCOMPARE(preferences.stringForKey(key), QStringLiteral("true"));
        }
        QVERIFY(!preferences.stringForKey(QString::fromLatin1(platform::passwordKey)));
        StartedEditor started(preferences);
        QCOMPARE(started.vc().myTextView->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
