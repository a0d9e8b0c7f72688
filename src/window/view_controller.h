#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/log.h"
#include "cipher/base/result.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/note/trace.h"
#include "window/line_endings.h"
#include "window/note_password.h"

#include <QString>
#include <QVariant>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace window {

class ApplicationDelegate;
class MessageBar;
class NoteLoader;
class NoteTextView;

/// The title of a note that has no file yet.
inline constexpr QStringView untitledTitle = u"名称未設定";

/// The controller of the note view: the text view, the path of the note's file, and the cipher operations, which
/// take the password from the application's delegate at every call.
class ViewController final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool loading READ isLoading NOTIFY loadingChanged)

public:
    /// An empty note with no file, not yet linked; log must outlive the controller.
    explicit ViewController(cipher::Log& log, cipher::Trace trace = {}, QWidget* parent = nullptr);

    /// The fixed initialisation vector of every note file.
    const std::array<std::uint8_t, 16> iv = cipher::noteIv;
    /// Path of the note's current file; "" while the note has none.
    QString filename;
    /// The application's delegate, set by viewDidLoad; not owned.
    ApplicationDelegate* appDelegate = nullptr;
    /// The text view whose whole text is the note, byte for byte; owned by this widget.
    NoteTextView* myTextView = nullptr;

    /// Links this controller and the application's delegate both ways; running it again changes nothing.
    void viewDidLoad(ApplicationDelegate& applicationDelegate);

    /// The object this view represents, held as given.
    [[nodiscard]] QVariant representedObject() const { return m_representedObject; }
    /// Holds the value; nothing else changes.
    void setRepresentedObject(const QVariant& value) { m_representedObject = value; }

    /// The note's title: "名称未設定" or the path of its file.
    [[nodiscard]] QString title() const { return m_title; }
    /// Sets the title and announces it.
    void setTitle(const QString& title);

    /// The whole note text exactly as it is, the part of a note still loading included.
    [[nodiscard]] QString noteText() const;
    /// The note's UTF-8 exactly as it will be saved, the part of a note still loading included.
    [[nodiscard]] QByteArray noteUtf8() const;
    /// Replaces the whole note text, empties the undo history and marks the note unmodified; a line break typed
    /// later is the one most of its lines end with (LF when it has none). A very long note goes on loading from the
    /// event loop, read-only until it is whole.
    void setNoteText(const QString& text);
    /// Replaces the note as setNoteText does, from its UTF-8, which is taken and wiped once it is in the view.
    void setNoteUtf8(std::string utf8);
    /// Puts the rest of a note still loading into the view now.
    void finishLoading();
    /// Whether part of the note is still going into the view.
    [[nodiscard]] bool isLoading() const;
    /// The line break a user's Return puts into the note.
    [[nodiscard]] LineEnding lineEnding() const;
    /// Whether the note has changes not yet saved: edits since the last save point that were not undone, or
    /// setModified(true) since. A note still loading has none.
    [[nodiscard]] bool isModified() const;
    /// Makes the note's text the saved state (false), or marks the note changed until the next save (true).
    void setModified(bool modified);

    /// Shows a problem in a bar above the text until the user dismisses it or clearProblem is called.
    void showProblem(const QString& message);
    /// Shows a problem as showProblem does, with a button labelled actionText that emits problemActionChosen.
    void showProblemWithAction(const QString& message, const QString& actionText);
    /// Hides the problem bar.
    void clearProblem();
    /// The problem shown, or "" when none is.
    [[nodiscard]] QString problem() const;
    /// Announces a short notice for the status bar.
    void showNotice(const QString& message);
    /// Puts a bar of the application's above the note and the other bars; the controller owns it from then on.
    void addBarAboveNote(QWidget* bar);

    /// Base64 decoding that skips non-alphabet characters; no value when the Base64 is rejected.
    [[nodiscard]] std::optional<cipher::Bytes> base64ToByteArray(const QString& text) const;
    /// The whole file as text; "" when it cannot be read.
    [[nodiscard]] QString readTextFile(const QString& path) const;
    /// The note text of a file text under the current password; no value when decryption fails.
    [[nodiscard]] std::optional<QString> decrypt(const QString& fileText) const;
    /// The file text of a note text under the current password; no value when encryption fails.
    [[nodiscard]] std::optional<QString> encrypt(const QString& text) const;
    /// The text decoded from the bytes up to the first ill-formed UTF-8 sequence.
    [[nodiscard]] QString convertUInt8ToUTF(cipher::ByteView bytes) const;
    /// The lowercase hexadecimal MD5 of the text's UTF-8 bytes.
    [[nodiscard]] QString md5(const QString& text) const;
    /// Encrypts the note text under the current password and writes it to path atomically; sets filename to path
    /// whatever the outcome. A note still loading is loaded whole first. The failure names the path and the cause.
    [[nodiscard]] cipher::Result<cipher::Done> saveEncryptedText(const QString& path);
    /// The whole note of the file at path under the current password; fails, saying why, when the file cannot be
    /// read or does not decrypt completely. Changes nothing.
    [[nodiscard]] cipher::Result<QString> openEncryptedText(const QString& path) const;
    /// Reads the note of the file at path under the current password and puts it in the view as setNoteText does,
    /// straight from its UTF-8, so that a large note shows at once. Fails like openEncryptedText, and then the view
    /// keeps its note. Leaves filename and the title alone. Gives what the read saw of the file.
    [[nodiscard]] cipher::Result<cipher::FileSnapshot> loadEncryptedText(const QString& path);
    /// As loadEncryptedText, under givenPassword instead of the stored one.
    [[nodiscard]] cipher::Result<cipher::FileSnapshot> loadEncryptedText(const QString& path,
                                                                         const QString& givenPassword);

signals:
    /// The title changed.
    void titleChanged(const QString& title);
    /// A short notice is to be shown in the status bar.
    void noticeShown(const QString& message);
    /// A long note began loading (true) or is now whole in the view (false).
    void loadingChanged(bool loading);
    /// The button of the problem bar shown by showProblemWithAction was pressed.
    void problemActionChosen();
    /// isModified() changed.
    void modificationChanged(bool modified);

private:
    [[nodiscard]] NotePassword password() const;
    void setNote(std::string utf8, long document = 0);
    void updateModified();
    [[nodiscard]] cipher::Result<std::string> decryptedFile(const QString& path, const NotePassword& pass,
                                                            cipher::FileSnapshot* seen = nullptr) const;
    [[nodiscard]] cipher::Result<cipher::FileSnapshot> load(const QString& path, const NotePassword& pass);

    cipher::Log& m_log;
    cipher::Trace m_trace;
    QVariant m_representedObject;
    QString m_title;
    MessageBar* m_problemBar = nullptr;
    QLabel* m_problemLabel = nullptr;
    QPushButton* m_problemAction = nullptr;
    MessageBar* m_loadingBar = nullptr;
    QProgressBar* m_loadingProgress = nullptr;
    QTimer* m_loadingBarDelay = nullptr;
    NoteLoader* m_loader = nullptr;
    bool m_markedModified = false;
    bool m_shownModified = false;
};

} // namespace window
