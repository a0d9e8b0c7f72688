#pragma once

#include "app/editor.h"
#include "cipher/base/log.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "platform/file_panels.h"
#include "platform/preferences.h"
#include "platform/prompts.h"
#include "support/memory_log.h"
#include "support/memory_preferences.h"
#include "window/note_text_view.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <optional>
#include <utility>

// Panels that give the answer set for them once, then cancel, and record how often and where they were shown.
struct ScriptedPanels final : platform::FilePanels {
    std::optional<QUrl> runOpenPanel(QWidget*, const QString& startDirectory) override {
        return show(openAnswer, openAsked, startDirectory);
    }
    std::optional<QUrl> runSavePanel(QWidget*, const QString& startDirectory) override {
        return show(saveAnswer, saveAsked, startDirectory);
    }
    std::optional<QUrl> show(std::optional<QUrl>& answer, int& asked, const QString& startDirectory) {
        ++asked;
        startDirectories.append(startDirectory);
        return std::exchange(answer, {});
    }
    std::optional<QUrl> openAnswer, saveAnswer;
    int openAsked = 0, saveAsked = 0;
    QStringList startDirectories;
};

// Prompts that give the answers set for them and record what they were asked about.
struct ScriptedPrompts final : platform::Prompts {
    platform::UnsavedChangesChoice askToSaveChanges(QWidget*, const QString& noteTitle) override {
        asked.append(noteTitle);
        return answer;
    }
    platform::OverwriteChoice askToOverwrite(QWidget*, const QString& path, platform::OverwriteReason reason) override {
        overwriteAsked.append({path, reason});
        return overwriteAnswer;
    }
    bool askToSaveUnderNewPassword(QWidget*) override {
        ++newPasswordAsked;
        return saveUnderNewPassword;
    }
    // Passwords are given in turn, then the prompt is cancelled.
    std::optional<QString> askForPassword(QWidget*, const QString& path, const QString& refusal) override {
        passwordAskedFor.append(path);
        refusals.append(refusal);
        return passwords.isEmpty() ? std::nullopt : std::optional<QString>(passwords.takeFirst());
    }
    platform::UnsavedChangesChoice answer = platform::UnsavedChangesChoice::Cancel;
    QStringList asked;
    bool saveUnderNewPassword = false;
    int newPasswordAsked = 0;
    QStringList passwords;
    QStringList passwordAskedFor, refusals;
    platform::OverwriteChoice overwriteAnswer = platform::OverwriteChoice::Cancel;
    QList<QPair<QString, platform::OverwriteReason>> overwriteAsked;
};

inline QUrl url(const QString& path) {
    return QUrl::fromLocalFile(path);
}

// Writes a note file with the core alone, independently of the editor under test.
inline void writeNote(const QString& path, const QString& text, const QString& password) {
    cipher::MemoryLog log;
    QVERIFY(cipher::saveEncryptedText(path.toStdString(), text.toStdString(),
                                      cipher::NoteFormat(password.toStdString()), log)
                .ok());
}

// The core alone is the oracle for what a file holds.
inline QString decryptFile(const QString& path, const QString& password) {
    cipher::Result<std::string> fileText = cipher::readNoteFile(path.toStdString());
    cipher::Result<std::string> text =
        cipher::decryptWhole(fileText ? fileText.value() : "", cipher::NoteFormat(password.toStdString()));
    return text ? QString::fromStdString(text.value()) : QStringLiteral("<undecryptable>");
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QAction* action(app::Editor& editor, const char* name) {
    auto* found = editor.mainWindow().findChild<QAction*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no action named %s", name);
    }
    return found;
}

// The editor over the seams above, with "pw" stored and a fresh folder for each test, shown as the user sees it.
class EditorFixture : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    platform::MemoryPreferences m_preferences;
    ScriptedPanels m_panels;
    ScriptedPrompts m_prompts;
    cipher::MemoryLog m_log;
    std::unique_ptr<app::Editor> m_editor;

    void startEditor() {
        QApplication::setQuitOnLastWindowClosed(false);
        m_dir = std::make_unique<QTemporaryDir>();
        m_panels = {};
        m_prompts = {};
        m_log.lines.clear();
        QVERIFY(m_preferences.setString(QString::fromLatin1(platform::passwordKey), QStringLiteral("pw")));
        m_editor = std::make_unique<app::Editor>(m_preferences, m_panels, m_prompts, m_log);
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
    }
    window::MainWindow& window() { return m_editor->mainWindow(); }
    window::ViewController& vc() { return window().viewController(); }
    QString text() { return vc().noteText(); }
    QString path(const QString& name) { return m_dir->filePath(name); }
    void type(const QString& typed) { QTest::keyClicks(vc().myTextView, typed); }
    void setStoredPassword(const QString& password) { QVERIFY(m_editor->delegate().setPasswordWithPass(password)); }
    void trigger(const char* name) { action(*m_editor, name)->trigger(); }
    void saveAs(const QString& file) {
        m_panels.saveAnswer = url(file);
        trigger("actionSaveAs");
    }
    void open(const QString& file) {
        m_panels.openAnswer = url(file);
        trigger("actionOpen");
    }
    // A note written by the core in the test's folder; its path.
    QString writtenNote(const QString& name, const QString& text, const QString& password = QStringLiteral("pw")) {
        writeNote(path(name), text, password);
        return path(name);
    }
    // A note written under "pw" by the core, opened as File > Open opens it.
    QString openNote(const QString& text, const QString& name = QStringLiteral("n.vpd")) {
        const QString file = writtenNote(name, text);
        [&] { QVERIFY(m_editor->delegate().openNote(file)); }();
        return file;
    }
    // The note is named after the file, and so is the window; without a file it is untitled.
    void checkNamed(const QString& file) {
        QCOMPARE(vc().filename, file);
        QCOMPARE(vc().title(), file.isEmpty() ? QStringLiteral("名称未設定") : file);
    }
    // Whether the problem bar says these words; if not, what it says is printed.
    bool problemSays(const QString& words) {
        const bool says = vc().problem().contains(words);
        if (!says) {
            qWarning("The problem bar says: %s", qPrintable(vc().problem()));
        }
        return says;
    }
};
