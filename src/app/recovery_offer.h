#pragma once

#include "app/recovery_copy.h"
#include "cipher/files/recovery_slot.h"

#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace platform {
class Prompts;
}

namespace window {
class RecoveryBar;
}

namespace app {

class AppDelegate;
class RecoveryKeeper;

/// Offers the unsaved changes that a window which is gone (crashed, killed, the power cut) left in the recovery
/// folder, in the window's recovery bar: Restore puts them into the window as unsaved changes, Discard removes them.
/// Changes that do not open under the stored password are offered another password; a copy that cannot be read is
/// reported and kept until the user discards it. The copy offered is locked meanwhile, so that no other window offers
/// it too.
class RecoveryOffer final : public QObject {
    Q_OBJECT

public:
    /// The offer over the keeper's folder, shown in bar. Everything passed in must outlive the offer.
    RecoveryOffer(AppDelegate& delegate, RecoveryKeeper& keeper, platform::Prompts& prompts, window::RecoveryBar& bar);

    /// Offers the changes left for the note at preferredPath if there are, or else the latest changes left; does
    /// nothing when none are or an offer is shown.
    void offer(const QString& preferredPath = {});
    /// Offers the changes left for the note at path, if any; otherwise leaves the bar as it is.
    void offerFor(const QString& path);

private:
    /// A copy left by a window that is gone, locked by this one.
    struct Left {
        cipher::RecoverySlot slot;
        cipher::RecoveryLock lock;
        std::optional<RecoveryAbout> about;
        // Whether the copy's about file could not be read or is no about: the copy is damaged.
        bool damaged = false;
        // Whether it was tried under a password: none is held yet when the password is asked for once a run.
        bool tried = false;
        QString password;
    };

    [[nodiscard]] std::vector<Left> leftCopies();
    /// Reads the about of the copy under password: false when it does not open under it, or there is none.
    bool readAbout(Left& left, const std::optional<QString>& password);
    void show(Left left);
    void restore();
    void discard();
    void tryAnotherPassword();

    AppDelegate& m_delegate;
    RecoveryKeeper& m_keeper;
    platform::Prompts& m_prompts;
    window::RecoveryBar& m_bar;
    std::optional<Left> m_shown;
};

} // namespace app
