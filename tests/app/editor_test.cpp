#include "app/editor.h"
#include "platform/preferences.h"
#include "scripted_seams.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

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

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

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
