#pragma once

#include "app/recovery_copy.h"
#include "cipher/base/result.h"
#include "cipher/files/recovery_slot.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QTimer;

namespace window {
class ViewController;
}

namespace app {

class AppDelegate;

/// Keeps an encrypted copy of a window's unsaved changes in the recovery folder: a few seconds after typing pauses,
/// and at least every half minute while it goes on. The copy is the note file Save would write, under the password
/// Save would use, made on another thread from a snapshot of the text; it is removed as soon as the note has no
/// unsaved changes (saved, discarded, replaced) and when the keeper is destroyed as the window closes. The window
/// holds its copy's slot under a lock, so that no other window offers or removes it.
class RecoveryKeeper final : public QObject {
    Q_OBJECT

public:
    /// Watches vc's note; copies go into folder, created 0700 at the first copy, under the password delegate keeps.
    /// vc and delegate must outlive the keeper.
    RecoveryKeeper(window::ViewController& vc, AppDelegate& delegate, QString folder, QObject* parent = nullptr);
    /// Waits for a copy being written, then removes this window's copy and its slot.
    ~RecoveryKeeper() override;

    /// Turns copies on or off; off removes the window's copy at once.
    void setEnabled(bool enabled);
    [[nodiscard]] bool isEnabled() const noexcept { return m_enabled; }
    /// How long typing must pause before a copy, and the longest a change waits while typing goes on.
    void setDelays(std::chrono::milliseconds pause, std::chrono::milliseconds longest);

    /// Makes a copy of the note as it is now, when it has unsaved changes and copies are on and not held back, and
    /// waits until it and any copy being written are on disk.
    void finishPendingCopy();
    /// Stops making copies until resume; a copy being written finishes. Calls nest.
    void suspend();
    /// Undoes one suspend; a change made meanwhile is copied as usual.
    void resume();

    /// The folder the copies go into.
    [[nodiscard]] const QString& folder() const noexcept { return m_folder; }
    /// The id of this window's slot, "" before its first copy or adoption.
    [[nodiscard]] QString slotId() const;
    /// Makes a restored copy's slot this window's own: its copy stands until the next one, made soon, replaces it.
    /// This window's earlier slot is removed.
    void adopt(const cipher::RecoverySlot& slot, cipher::RecoveryLock lock);

signals:
    /// A copy of a note of noteBytes bytes of UTF-8 is whole on disk.
    void copyWritten(qsizetype noteBytes);

private:
    void noteChanged();
    void modificationChanged(bool modified);
    void startCopy();
    /// Has the worker make room for the snapshot: the note's length and some to grow by.
    void prepareRoom();
    /// Takes the snapshot into the room made for it and has the worker write the copy.
    void takeSnapshot();
    /// Called on this thread once the worker is done: goes on to the next step of the copy.
    void workerDone();
    /// Done with a written copy: reports it, and copies a change made meanwhile.
    void copyDone();
    void runOnWorker(std::function<void()> work);
    void removeCopy();
    [[nodiscard]] bool ownSlot();
    [[nodiscard]] bool mayCopy() const;
    /// The password Save would use, unless it would have to be asked for.
    [[nodiscard]] std::optional<QString> savePassword() const;

    window::ViewController& m_vc;
    AppDelegate& m_delegate;
    QString m_folder;
    QTimer* m_pause = nullptr;
    QTimer* m_longest = nullptr;
    bool m_enabled = true;
    int m_suspended = 0;
    // A change not yet in a copy, noticed while copies were suspended or one was being written.
    bool m_changed = false;
    std::optional<cipher::RecoverySlot> m_slot;
    std::optional<cipher::RecoveryLock> m_lock;
    bool m_aboutWritten = false;
    std::shared_ptr<CopyCancel> m_cancel;
    enum class Step { preparing, writing };
    Step m_step = Step::preparing;
    std::thread m_worker;
    // Numbers the copies, so that the note a finished copy posts is not taken for a later one's.
    quint64 m_copyNumber = 0;
    std::unique_ptr<CopyJob> m_job;
    std::optional<cipher::Result<cipher::Done>> m_written;
};

} // namespace app
