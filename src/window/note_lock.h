#pragma once

#include "cipher/crypto/password_fingerprint.h"
#include "cipher/crypto/sealed_bytes.h"
#include "window/line_endings.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <optional>

class QAction;
class QMainWindow;

namespace window {

class FindBar;
class LockPanel;
class NoteTextView;
class ViewController;

/// How long the next try to unlock must wait after wrongTries wrong passwords in a row: nothing for the first five,
/// then 1 s, 2 s, 4 s … up to 30 s. Never a lock-out.
[[nodiscard]] std::chrono::seconds unlockWait(int wrongTries);

/// The window's lock. Locking hides the note, the find bar and the file's name behind a LockPanel; the note's
/// document is set aside with its text sealed where it lies (SealedBytes), and its undo history dropped. Unlocking
/// with the note's password opens it in place and puts it back where the user was, byte for byte. Nothing is written
/// anywhere.
class NoteLock final : public QObject {
    Q_OBJECT

public:
    /// What a try to unlock came to.
    enum class Unlock { Unlocked, WrongPassword, TooSoon, NotLocked };

    /// A lock for the note of window, whose view controller and find bar it hides; its panel is made a child of
    /// panelParent for the window to lay out. All must outlive the lock.
    NoteLock(QMainWindow& window, ViewController& vc, FindBar& findBar, QWidget* panelParent);
    ~NoteLock() override;

    /// The panel shown while locked.
    [[nodiscard]] LockPanel& panel() const { return *m_panel; }
    /// Whether the window is locked.
    [[nodiscard]] bool isLocked() const { return m_sealed.has_value(); }

    /// Locks the window, to be unlocked by the password password recognises (it must hold one). Emits aboutToLock
    /// first. False, with nothing changed, when already locked or the note could not be sealed.
    bool lock(const cipher::PasswordFingerprint& password);
    /// Unlocks when password is the note's and no wait after wrong tries is running; the panel is told nothing.
    Unlock unlock(const QString& password);

signals:
    /// The window is about to lock: the note is still in the view. Finish here what needs it (a pending copy).
    void aboutToLock();
    /// The window is locked.
    void locked();
    /// The window is unlocked, the note back as it was.
    void unlocked();

private:
    struct Place {
        qsizetype anchor = 0;
        qsizetype caret = 0;
        qsizetype firstLine = 0;
        int horizontalOffset = 0;
        bool wordWrap = true;
        int zoom = 0;
        bool modified = false;
    };

    void unlockFromPanel(const QString& password);
    void restore(const Place& place);
    void disableActions();
    void restoreActions();

    QMainWindow& m_window;
    ViewController& m_vc;
    FindBar& m_findBar;
    QPointer<NoteTextView> m_view;
    LockPanel* m_panel = nullptr;
    std::optional<cipher::SealedBytes> m_sealed;
    // The note's document while set aside, sealed.
    long m_document = 0;
    std::optional<cipher::PasswordFingerprint> m_password;
    Place m_place;
    QList<QPair<QPointer<QAction>, bool>> m_actions;
    int m_wrongTries = 0;
    QDeadlineTimer m_nextTry;
    QTimer m_waitOver;
};

} // namespace window
