#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/result.h"
#include "cipher/files/recovery_slot.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace app {

class AppDelegate;

/// The preference that says whether unsaved changes are copied for recovery: "false" turns copies off; anything
/// else, or none, keeps them.
inline constexpr auto keepRecoveryCopiesKey = "keepRecoveryCopies";

/// The folder of the recovery copies: $XDG_STATE_HOME/vellumpad/recovery, or ~/.local/state/vellumpad/recovery when
/// XDG_STATE_HOME is unset or not an absolute path.
[[nodiscard]] QString recoveryFolder();

/// The password copies are written and read under: the one Save uses, from where the application keeps it, but only
/// when it can be had without asking the user, who is typing; no value when it would have to be asked for.
[[nodiscard]] std::optional<QString> recoveryPassword(AppDelegate& delegate);

/// What a recovery copy is a copy of: the note's file ("" for a note that never had one) and when it was made.
struct RecoveryAbout {
    QString path;
    QDateTime time;
};

/// The about file's text: the time (ISO 8601, UTC) on the first line, the path after it.
[[nodiscard]] std::string aboutText(const RecoveryAbout& about);
/// The about of an about file's text; no value when the text is not one.
[[nodiscard]] std::optional<RecoveryAbout> parseAbout(std::string_view text);

/// Lets a removal on the window's thread stop a copy being written on another: once cancelled, the copy's files are
/// never renamed into place, so a removed copy cannot come back.
class CopyCancel {
public:
    /// Marks the copy cancelled, then runs remove while no rename of it can happen.
    template <class Remove> void cancelAnd(Remove remove) {
        const std::lock_guard lock(m_mutex);
        m_cancelled = true;
        remove();
    }
    /// Runs rename unless the copy was cancelled; the cancellation waits meanwhile.
    template <class Rename> int renameUnlessCancelled(Rename rename) {
        const std::lock_guard lock(m_mutex);
        return m_cancelled ? -1 : rename();
    }
    [[nodiscard]] bool cancelled() {
        const std::lock_guard lock(m_mutex);
        return m_cancelled;
    }

private:
    std::mutex m_mutex;
    bool m_cancelled = false;
};

/// One copy to write: a snapshot of the note, what it is about, and the password Save would use.
struct CopyJob {
    cipher::RecoverySlot slot;
    /// Room for the note, made ready on the worker so that the snapshot only copies bytes; the note is its first
    /// noteBytes bytes.
    cipher::SecureBytes note;
    std::size_t noteBytes = 0;
    std::string about;
    std::string password;
    /// Whether the about file is written before the copy: for a slot with no about yet, so that a copy is never
    /// without one. Later copies write it after, so that a copy is never older than the time it claims.
    bool aboutFirst = false;
    std::shared_ptr<CopyCancel> cancel;
};

/// Makes room for a note of up to bytes in the job, every page of it touched, so that the snapshot taken into it on
/// the window's thread costs only the copying. Runs on any thread.
void prepareRoom(CopyJob& job, std::size_t bytes);

/// Encrypts the note and its about as note files under the password and writes them atomically into the slot, then
/// wipes the note and the password. Runs on any thread. Fails with the first failure; a cancelled copy fails too.
[[nodiscard]] cipher::Result<cipher::Done> writeCopy(CopyJob& job);

} // namespace app
