#include "app/command_line.h"
#include "app/editor.h"
#include "cipher/log.h"
#include "cipher/note_cipher.h"
#include "cipher/note_file.h"
#include "platform/file_panels.h"
#include "platform/preferences.h"
#include "platform/prompts.h"
#include "preferences/preference_view_controller.h"
#include "window/note_text_view.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <optional>
#include <utility>

using platform::UnsavedChangesChoice;

namespace {

// Panels that give the answer set for them once, then cancel, and count how often they were shown.
struct ScriptedPanels final : platform::FilePanels {
    std::optional<QUrl> runOpenPanel(QWidget*) override { return show(openAnswer, openAsked); }
    std::optional<QUrl> runSavePanel(QWidget*) override { return show(saveAnswer, saveAsked); }
    static std::optional<QUrl> show(std::optional<QUrl>& answer, int& asked) {
        ++asked;
        return std::exchange(answer, {});
    }
    std::optional<QUrl> openAnswer, saveAnswer;
    int openAsked = 0, saveAsked = 0;
};

// Prompts that always give one answer and record the titles they were asked about.
struct ScriptedPrompts final : platform::Prompts {
    platform::UnsavedChangesChoice askToSaveChanges(QWidget*, const QString& noteTitle) override {
        asked.append(noteTitle);
        return answer;
    }
    platform::UnsavedChangesChoice answer = platform::UnsavedChangesChoice::Cancel;
    QStringList asked;
};

QUrl url(const QString& path) {
    return QUrl::fromLocalFile(path);
}

// Writes a note file with the core alone, independently of the editor under test.
void writeNote(const QString& path, const QString& text, const QString& password) {
    cipher::MemoryLog log;
    QVERIFY(cipher::saveEncryptedText(path.toStdString(), text.toStdString(), password.toStdString(), cipher::noteIv,
                                      {}, log)
                .ok());
}

// The core alone is the oracle for what a file holds.
QString decryptFile(const QString& path, const QString& password) {
    cipher::Result<std::string> fileText = cipher::readNoteFile(path.toStdString());
    cipher::Result<std::string> text =
        cipher::decryptWhole(fileText ? fileText.value() : "", password.toStdString(), cipher::noteIv, {});
    return text ? QString::fromStdString(text.value()) : QStringLiteral("<undecryptable>");
}

QAction* action(app::Editor& editor, const char* name) {
    auto* found = editor.mainWindow().findChild<QAction*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no action named %s", name);
    }
    return found;
}

} // namespace

class EditorTest : public QObject {
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
    void trigger(const char* name) { action(*m_editor, name)->trigger(); }
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
            app::parseCommandLine(QStringList{QStringLiteral("vellumpad")} + arguments, QStringLiteral("/home/a"));
        QCOMPARE(request.file, file);
        QCOMPARE(request.exitStatus.value_or(-1), exitStatus);
        QCOMPARE(request.errors.isEmpty(), errorsMention.isEmpty());
        QVERIFY2(request.errors.contains(errorsMention), qPrintable(request.errors));
        QVERIFY(request.errors.isEmpty() || request.errors.contains(QStringLiteral("Usage: vellumpad [file]")));
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

    void saveAsNamesTheFullPathThenSaveAndNewKeepWritingThere() {
        // A blank, a percent sign and a non-ASCII letter arrive percent-encoded in the URL.
        const QString target = path(QStringLiteral("100% My Note é.vpd"));
        m_panels.saveAnswer = url(target);
        // No-break space, tab and non-ASCII letters must reach the file exactly as entered.
        const QString typed = QStringLiteral("hello\u00a0wörld\t名");
        const QByteArray bytes = typed.toUtf8();
        vc().myTextView->SendScintilla(QsciScintillaBase::SCI_ADDTEXT, static_cast<uintptr_t>(bytes.size()),
                                       bytes.constData());
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
        // A failed Save As still names the note after the new path, which does not hold it: the note counts as changed.
        m_panels.saveAnswer = url(path(QStringLiteral("missing folder/y.vpd")));
        trigger("actionSaveAs");
        QVERIFY(vc().isModified());
    }

    void failedOpenLeavesTheOpenNoteAloneAndSaysWhichFile_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << QStringLiteral("other.vpd")
                                        << QStringLiteral("wrong password or damaged file");
        QTest::newRow("missing") << QStringLiteral("gone.vpd") << QStringLiteral("no such file");
        QTest::newRow("undecodable URL") << QStringLiteral("%FF.vpd") << QStringLiteral("not a valid file path");
    }

    void failedOpenLeavesTheOpenNoteAloneAndSaysWhichFile() {
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        const QString current = path(QStringLiteral("Ordner ü/Notiz #1.vpd"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("Ordner ü"))));
        writeNote(current, QStringLiteral("keep\nme ü"), QStringLiteral("pw"));
        // The program opens a note named at start this way; File > Open ends in the same call.
        QVERIFY(m_editor->delegate().openNote(current));
        QCOMPARE(text(), QStringLiteral("keep\nme ü"));
        QCOMPARE(vc().title(), current);
        QVERIFY(!vc().isModified());
        QVERIFY(vc().problem().isEmpty());

        const QString chosen = path(fileName);
        if (fileName == QStringLiteral("other.vpd")) {
            writeNote(chosen, QStringLiteral("someone else's"), QStringLiteral("not pw"));
        }
        m_panels.openAnswer =
            fileName.startsWith(QLatin1Char('%')) ? QUrl(QStringLiteral("file://") + chosen) : url(chosen);
        trigger("actionOpen");
        QCOMPARE(text(), QStringLiteral("keep\nme ü"));
        QCOMPARE(vc().filename, current);
        QCOMPARE(vc().title(), current);
        QVERIFY(!vc().isModified());
        QVERIFY2(vc().problem().contains(expected) && vc().problem().contains(chosen), qPrintable(vc().problem()));
        QVERIFY(!m_editor->delegate().openNote(chosen));
        QVERIFY(m_editor->delegate().openNote(current));
        QVERIFY(vc().problem().isEmpty());
    }

    void passwordSetInPreferencesAppliesToTheNextSaveAndOpen() {
        const QString target = path(QStringLiteral("note.vpd"));
        setPasswordInDialog(QStringLiteral("new secret"));
        QVERIFY(m_editor->delegate().pass.isEmpty());
        m_panels.saveAnswer = url(target);
        type(QStringLiteral("words"));
        trigger("actionSaveAs");
        QCOMPARE(decryptFile(target, QStringLiteral("new secret")), QStringLiteral("words"));

        trigger("actionNew");
        setPasswordInDialog(QString());
        m_panels.openAnswer = url(target);
        trigger("actionOpen");
        QVERIFY(text().isEmpty());
        setPasswordInDialog(QStringLiteral("new secret"));
        m_panels.openAnswer = url(target);
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

        // Saving a note without a file asks for one; a cancelled panel, from Save or from the prompt, stops there.
        trigger("actionSave");
        m_prompts.answer = UnsavedChangesChoice::Save;
        trigger("actionNew");
        QCOMPARE(m_panels.saveAsked, 2);
        QVERIFY(vc().filename.isEmpty());
        QCOMPARE(vc().title(), QStringLiteral("名称未設定"));
        QVERIFY(m_editor->mainWindow().isWindowModified());

        // A failed write stops the command too.
        const QString nowhere = path(QStringLiteral("missing folder/x.vpd"));
        m_panels.saveAnswer = url(nowhere);
        m_panels.openAnswer = url(target);
        trigger("actionOpen");
        QCOMPARE(m_panels.saveAsked, 3);
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

    void wordWrapIsRememberedForTheNextWindow() {
        platform::MemoryPreferences preferences;
        const QString key = QStringLiteral("wordWrap");
        std::optional<QString> stored;
        for (const bool wrapped : {true, false, true}) {
            app::Editor editor(preferences, m_panels, m_prompts, m_log);
            QAction* wrap = action(editor, "actionWordWrap");
            const auto wraps = [&editor] { return editor.mainWindow().viewController().myTextView->wordWrap(); };
            QCOMPARE(wrap->isChecked(), wrapped);
            QCOMPARE(wraps(), wrapped);
            // Restoring the setting is not stored again; only the user's toggle is.
            QCOMPARE(preferences.stringForKey(key), stored);
            wrap->trigger();
            QCOMPARE(wraps(), !wrapped);
            stored = wrapped ? QStringLiteral("false") : QStringLiteral("true");
            QCOMPARE(preferences.stringForKey(key), stored);
        }
        QVERIFY(!preferences.stringForKey(QString::fromLatin1(platform::passwordKey)));
    }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
