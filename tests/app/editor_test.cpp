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
        const QString none;
        QTest::newRow("no file") << QStringList{} << none << none << -1;
        QTest::newRow("relative, tidied")
            << QStringList{"../b/./n ö.vpd"} << QStringLiteral("/home/b/n ö.vpd") << none << -1;
        QTest::newRow("absolute") << QStringList{"/n.vpd"} << QStringLiteral("/n.vpd") << none << -1;
        QTest::newRow("after --") << QStringList{"--", "-n.vpd"} << QStringLiteral("/home/a/-n.vpd") << none << -1;
        QTest::newRow("several") << QStringList{"x.vpd", "y.vpd", "z.vpd"} << QStringLiteral("/home/a/x.vpd")
                                 << QStringLiteral("ignoring \"y.vpd\", \"z.vpd\"") << -1;
        QTest::newRow("unknown option") << QStringList{"--bogus", "x.vpd"} << none << QStringLiteral("bogus") << 2;
        QTest::newRow("help") << QStringList{"--help"} << none << none << 0;
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

    void noteNamedAtStartOpensLikeFileOpenOrLeavesAnEmptyUntitledNote_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("problem");
        QTest::newRow("opens") << QStringLiteral("pw") << QString();
        QTest::newRow("wrong password") << QStringLiteral("not pw") << QStringLiteral("wrong password");
        QTest::newRow("missing") << QString() << QStringLiteral("no such file");
    }

    void noteNamedAtStartOpensLikeFileOpenOrLeavesAnEmptyUntitledNote() {
        QFETCH(QString, password);
        QFETCH(QString, problem);
        const QString note = m_dir.filePath(QStringLiteral("Notiz ü %1.vpd").arg(QTest::currentDataTag()));
        if (!password.isEmpty()) {
            writeNote(note, QStringLiteral("hello\nwörld"), password);
        }
        StartedEditor started(m_preferences);
        QCOMPARE(started.editor.delegate().openNote(note), problem.isEmpty());
        QCOMPARE(started.vc().noteText(), problem.isEmpty() ? QStringLiteral("hello\nwörld") : QString());
        QCOMPARE(started.vc().filename, problem.isEmpty() ? note : QString());
        QCOMPARE(started.vc().title(), problem.isEmpty() ? note : QStringLiteral("名称未設定"));
        QVERIFY(!started.vc().isModified());
        QVERIFY2(problem.isEmpty() ? started.vc().problem().isEmpty()
                                   : started.vc().problem().contains(note) && started.vc().problem().contains(problem),
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
