#pragma once

#include "cipher/log.h"
#include "cipher/note_cipher.h"
#include "cipher/note_file.h"
#include "platform/file_panels.h"
#include "platform/prompts.h"

#include <QStringList>
#include <QTest>
#include <QUrl>

#include <deque>

// Panels that give queued answers (cancel once the queue is empty) and count how often they were shown.
struct ScriptedPanels final : platform::FilePanels {
    std::optional<QUrl> runOpenPanel(QWidget*) override { return next(openAnswers, openAsked); }
    std::optional<QUrl> runSavePanel(QWidget*) override { return next(saveAnswers, saveAsked); }
    static std::optional<QUrl> next(std::deque<QUrl>& answers, int& asked) {
        ++asked;
        if (answers.empty()) {
            return std::nullopt;
        }
        const QUrl answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<QUrl> openAnswers, saveAnswers;
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

// Writes a note file with the core alone, independently of the editor under test.
inline void writeNote(const QString& path, const QString& text, const QString& password) {
    cipher::MemoryLog log;
    QVERIFY(cipher::saveEncryptedText(path.toStdString(), text.toStdString(), password.toStdString(), cipher::noteIv,
                                      {}, log)
                .ok());
}

// The core alone is the oracle for what a file holds.
inline QString decryptFile(const QString& path, const QString& password) {
    cipher::Result<std::string> fileText = cipher::readNoteFile(path.toStdString());
    cipher::Result<std::string> text =
        cipher::decryptWhole(fileText ? fileText.value() : "", password.toStdString(), cipher::noteIv, {});
    return text ? QString::fromStdString(text.value()) : QStringLiteral("<undecryptable>");
}
