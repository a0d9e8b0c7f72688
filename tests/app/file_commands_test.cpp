#include "app/editor.h"
#include "platform/preferences.h"
#include "preferences/preference_view_controller.h"
#include "scripted_seams.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using platform::UnsavedChangesChoice;

namespace {

QUrl url(const QString& path) {
    return QUrl::fromLocalFile(path);
}

} // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::MemoryPreferences m_preferences;
    ScriptedPanels m_panels;
    ScriptedPrompts m_prompts;
    cipher::MemoryLog m_log;
    std::unique_ptr<app::Editor> m_editor;

    window::ViewController& vc() { return m_editor->mainWindow().viewController(); }
    QString text() { return vc().noteText(); }
    QString path(const QString& name) { return m_dir.filePath(name); }
    void type(const QString& typed) { QTest::keyClicks(vc().myTextView, typed); }
    void trigger(const char* action) {
        auto* found = m_editor->mainWindow().findChild<QAction*>(QString::fromLatin1(action));
        QVERIFY2(found, action);
        found->trigger();
    }
    void setPasswordInDialog(const QString& password) {
        trigger("actionPreferences");
        preferences::PreferenceViewController* dialog = nullptr;
        for (auto* candidate : m_editor->mainWindow().findChildren<preferences::PreferenceViewController*>()) {
            dialog = candidate->isVisible() ? candidate : dialog;
        }
        QVERIFY(dialog);
        dialog->tfPassword->setText(password);
        QTest::keyClick(dialog->tfPassword, Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        m_panels = {};
        m_prompts = {};
        m_preferences.setString(QString::fromLatin1(platform::passwordKey), QStringLiteral("pw"));
        m_editor = std::make_unique<app::Editor>(m_preferences, m_panels, m_prompts, m_log);
        m_editor->mainWindow().show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_editor->mainWindow()));
        QCOMPARE(m_editor->delegate().vc, &vc());
    }

    void cleanup() { m_editor.reset(); }

    void saveWithNoFileAsksForOneAndCancellingChangesNothing() {
        type(QStringLiteral("draft"));
        trigger("actionSave");
        QCOMPARE(m_panels.saveAsked, 1);
        QVERIFY(vc().filename.isEmpty());
        QCOMPARE(vc().title(), QStringLiteral("名称未設定"));
        QVERIFY(vc().isModified());
        QVERIFY(QDir(m_dir.path()).isEmpty());
    }

    void saveAsNamesTheFullPathThenSaveAndNewKeepWritingThere() {
        // A blank, a percent sign and a non-ASCII letter arrive percent-encoded in the URL.
        const QString target = path(QStringLiteral("100% My Note é.vpd"));
        m_panels.saveAnswers = {url(target)};
        // No-break space, tab and non-ASCII letters must reach the file exactly as entered.
        const QString typed = QStringLiteral("hello\u00a0wörld\t名");
        vc().myTextView->insertPlainText(typed);
        trigger("actionSaveAs");
        QCOMPARE(vc().filename, target);
        QCOMPARE(m_editor->mainWindow().windowTitle(), target + QStringLiteral("[*] — Vellumpad"));
        QCOMPARE(decryptFile(target, QStringLiteral("pw")), typed);
        QVERIFY(!vc().isModified());
        QVERIFY(m_editor->mainWindow().statusBar()->currentMessage().contains(target));

        type(QStringLiteral(" again"));
        trigger("actionSave");
        QCOMPARE(decryptFile(target, QStringLiteral("pw")), typed + QStringLiteral(" again"));
        QCOMPARE(vc().title(), target);

        trigger("actionNew");
        QVERIFY(text().isEmpty());
        QCOMPARE(vc().title(), QStringLiteral("名称未設定"));
        type(QStringLiteral("fresh"));
        trigger("actionSave");
        QCOMPARE(m_panels.saveAsked, 1);
        QCOMPARE(decryptFile(target, QStringLiteral("pw")), QStringLiteral("fresh"));
        QVERIFY(m_prompts.asked.isEmpty());
    }

    void failedOpenLeavesTheOpenNoteAloneAndSaysWhichFile_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << "other.vpd"
                                        << "wrong password or damaged file";
        QTest::newRow("missing") << "gone.vpd"
                                 << "no such file";
        QTest::newRow("undecodable URL") << "%FF.vpd"
                                         << "not a valid file path";
    }

    void failedOpenLeavesTheOpenNoteAloneAndSaysWhichFile() {
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        const QString current = path(QStringLiteral("Ordner ü/Notiz #1.vpd"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("Ordner ü"))));
        writeNote(current, QStringLiteral("keep\nme ü"), QStringLiteral("pw"));
        m_panels.openAnswers = {url(current)};
        trigger("actionOpen");
        QCOMPARE(text(), QStringLiteral("keep\nme ü"));
        QCOMPARE(vc().title(), current);
        QVERIFY(!vc().isModified());

        const QString chosen = path(fileName);
        if (fileName == QStringLiteral("other.vpd")) {
            writeNote(chosen, QStringLiteral("someone else's"), QStringLiteral("not pw"));
        }
        m_panels.openAnswers = {fileName.startsWith(QLatin1Char('%')) ? QUrl(QStringLiteral("file://") + chosen)
                                                                      : url(chosen)};
        trigger("actionOpen");
        QCOMPARE(text(), QStringLiteral("keep\nme ü"));
        QCOMPARE(vc().filename, current);
        QCOMPARE(vc().title(), current);
        QVERIFY2(vc().problem().contains(expected) && vc().problem().contains(m_dir.path()),
                 qPrintable(vc().problem()));
    }

    void passwordSetInPreferencesAppliesToTheNextSaveAndOpen() {
        const QString target = path(QStringLiteral("note.vpd"));
        setPasswordInDialog(QStringLiteral("new secret"));
        QVERIFY(m_editor->delegate().pass.isEmpty());
        m_panels.saveAnswers = {url(target)};
        type(QStringLiteral("words"));
        trigger("actionSaveAs");
        QCOMPARE(decryptFile(target, QStringLiteral("new secret")), QStringLiteral("words"));

        trigger("actionNew");
        setPasswordInDialog(QString());
        m_panels.openAnswers = {url(target)};
        trigger("actionOpen");
        QVERIFY(text().isEmpty());
        setPasswordInDialog(QStringLiteral("new secret"));
        m_panels.openAnswers = {url(target)};
        trigger("actionOpen");
        QCOMPARE(text(), QStringLiteral("words"));
    }

    void unsavedChangesAreSettledBeforeTheyAreLost() {
        const QString target = path(QStringLiteral("kept.vpd"));
        writeNote(target, QStringLiteral("on disk"), QStringLiteral("pw"));
        type(QStringLiteral("typed"));

        m_prompts.answer = UnsavedChangesChoice::Cancel;
        trigger("actionNew");
        trigger("actionOpen");
        QVERIFY(!m_editor->mainWindow().close());
        QCOMPARE(m_prompts.asked, QStringList(3, QStringLiteral("名称未設定")));
        QCOMPARE(m_panels.openAsked, 0);
        QCOMPARE(text(), QStringLiteral("typed"));

        // Save asks for a file first: a cancelled panel, then a failed write, each stop the command.
        m_prompts.answer = UnsavedChangesChoice::Save;
        trigger("actionNew");
        const QString nowhere = path(QStringLiteral("missing folder/x.vpd"));
        m_panels.saveAnswers = {url(nowhere)};
        m_panels.openAnswers = {url(target)};
        trigger("actionOpen");
        QCOMPARE(m_panels.saveAsked, 2);
        QCOMPARE(m_panels.openAsked, 0);
        QCOMPARE(text(), QStringLiteral("typed"));
        // The failed write names its path, which is now the note's file and title, and the note stays modified.
        QCOMPARE(vc().filename, nowhere);
        QCOMPARE(vc().title(), nowhere);
        QVERIFY(m_editor->mainWindow().isWindowModified());
        QVERIFY2(vc().problem().contains(nowhere), qPrintable(vc().problem()));
        QVERIFY(!vc().problem().contains(QStringLiteral("typed")) && !vc().problem().contains(QStringLiteral("pw")));

        m_prompts.answer = UnsavedChangesChoice::Discard;
        trigger("actionOpen");
        QCOMPARE(text(), QStringLiteral("on disk"));

        type(QStringLiteral("more "));
        m_prompts.answer = UnsavedChangesChoice::Save;
        trigger("actionNew");
        QCOMPARE(decryptFile(target, QStringLiteral("pw")), QStringLiteral("more on disk"));
        QVERIFY(text().isEmpty());

        type(QStringLiteral("last"));
        m_prompts.answer = UnsavedChangesChoice::Discard;
        trigger("actionQuit");
        QVERIFY(!m_editor->mainWindow().isVisible());
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
