#include "app/recovery_offer.h"

#include "app/app_delegate.h"
#include "app/recovery_keeper.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "platform/prompts.h"
#include "window/recovery_bar.h"
#include "window/view_controller.h"

#include <QLocale>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace app {

RecoveryOffer::RecoveryOffer(AppDelegate& delegate, RecoveryKeeper& keeper, platform::Prompts& prompts,
                             window::RecoveryBar& bar)
    : m_delegate(delegate), m_keeper(keeper), m_prompts(prompts), m_bar(bar) {
    connect(&m_bar, &window::RecoveryBar::restoreChosen, this, &RecoveryOffer::restore);
    connect(&m_bar, &window::RecoveryBar::discardChosen, this, &RecoveryOffer::discard);
    connect(&m_bar, &window::RecoveryBar::anotherPasswordChosen, this, &RecoveryOffer::tryAnotherPassword);
}

std::vector<RecoveryOffer::Left> RecoveryOffer::leftCopies() {
    const std::filesystem::path folder(m_keeper.folder().toStdString());
    const std::string own = m_keeper.slotId().toStdString();
    const std::string shown = m_shown ? m_shown->slot.id : std::string();
    const std::optional<QString> password = recoveryPassword(m_delegate);
    std::vector<Left> left;
    for (const std::string& id : cipher::recoverySlotIds(folder)) {
        if (id == own || id == shown) {
            continue;
        }
        cipher::RecoverySlot slot = cipher::recoverySlot(folder, id);
        // A slot whose lock another window holds is that window's live copy.
        std::optional<cipher::RecoveryLock> lock = cipher::RecoveryLock::claim(slot);
        if (!lock) {
            continue;
        }
        std::error_code error;
        if (!std::filesystem::exists(slot.copy, error) && !error) {
            // What a window left before its first copy, or after its last was removed, holds no text.
            lock->removeSlot(slot);
            continue;
        }
        Left copy{std::move(slot), std::move(*lock), std::nullopt, false, false, {}};
        (void)readAbout(copy, password);
        left.push_back(std::move(copy));
    }
    return left;
}

bool RecoveryOffer::readAbout(Left& left, const std::optional<QString>& password) {
    if (!password || !QStringView(*password).isValidUtf16()) {
        return false;
    }
    left.tried = true;
    cipher::Result<std::string> text =
        cipher::openNoteFile(left.slot.about, cipher::NoteFormat(password->toStdString()));
    if (!text) {
        // The same words stand for a wrong password and a damaged file; anything else (no about file, no text) is
        // damage another password cannot mend.
        left.damaged = text.failure().cause != cipher::FailureCause::wrongPasswordOrDamaged;
        return false;
    }
    left.about = parseAbout(text.value());
    left.damaged = !left.about;
    left.password = *password;
    return left.about.has_value();
}

void RecoveryOffer::offer(const QString& preferredPath) {
    if (m_shown) {
        return;
    }
    std::vector<Left> left = leftCopies();
    if (left.empty()) {
        return;
    }
    // Changes that can be shown come first: those of the note asked for, then the latest.
    const auto rank = [&preferredPath](const Left& copy) {
        return std::make_pair(copy.about ? (copy.about->path == preferredPath ? 2 : 1) : (copy.damaged ? -1 : 0),
                              copy.about ? copy.about->time : QDateTime());
    };
    auto best =
        std::max_element(left.begin(), left.end(), [&rank](const Left& a, const Left& b) { return rank(a) < rank(b); });
    show(std::move(*best));
}

void RecoveryOffer::offerFor(const QString& path) {
    std::vector<Left> left = leftCopies();
    auto found = std::find_if(left.begin(), left.end(),
                              [&path](const Left& copy) { return copy.about && copy.about->path == path; });
    if (found != left.end()) {
        show(std::move(*found));
    }
}

void RecoveryOffer::show(Left left) {
    m_shown = std::move(left);
    const Left& shown = *m_shown;
    if (shown.about) {
        const QString note = shown.about->path.isEmpty() ? window::untitledTitle.toString() : shown.about->path;
        const QString time = QLocale().toString(shown.about->time.toLocalTime(), QLocale::ShortFormat);
        m_bar.showOffer(tr("Unsaved changes to %1 from %2 can be recovered.").arg(note, time),
                        window::RecoveryBar::Offer::restore);
    } else if (shown.damaged) {
        m_bar.showOffer(tr("Unsaved changes kept from an earlier session cannot be read: the copy is damaged. It is "
                           "kept in \"%1\".")
                            .arg(QString::fromStdString(shown.slot.copy.string())),
                        window::RecoveryBar::Offer::discardOnly);
    } else if (shown.tried) {
        m_bar.showOffer(tr("Unsaved changes from an earlier session can be recovered, but they do not open under "
                           "the current password."),
                        window::RecoveryBar::Offer::anotherPassword);
    } else {
        m_bar.showOffer(tr("Unsaved changes from an earlier session can be recovered with their password."),
                        window::RecoveryBar::Offer::anotherPassword);
    }
}

void RecoveryOffer::restore() {
    if (!m_shown || !m_shown->about) {
        return;
    }
    // Cancelled, the window keeps its own unsaved changes and the offer stands.
    if (!m_delegate.resolveUnsavedChanges()) {
        return;
    }
    const QString copy = QString::fromStdString(m_shown->slot.copy.string());
    if (!m_delegate.restoreRecoveredChanges(copy, m_shown->about->path, m_shown->password)) {
        m_shown->about.reset();
        m_shown->damaged = true;
        show(std::move(*m_shown));
        return;
    }
    m_bar.hide();
    Left restored = std::move(*m_shown);
    m_shown.reset();
    // The copy stays on disk until the window's next copy replaces it: until then it is the only one of the text.
    m_keeper.adopt(restored.slot, std::move(restored.lock));
}

void RecoveryOffer::discard() {
    if (!m_shown) {
        return;
    }
    m_shown->lock.removeSlot(m_shown->slot);
    m_shown.reset();
    m_bar.hide();
    offer();
}

void RecoveryOffer::tryAnotherPassword() {
    if (!m_shown) {
        return;
    }
    QString refusal;
    for (;;) {
        const std::optional<QString> given = m_prompts.askForPassword(m_bar.window(), tr("unsaved changes"), refusal);
        if (!given) {
            return;
        }
        if (readAbout(*m_shown, *given)) {
            show(std::move(*m_shown));
            return;
        }
        if (m_shown->damaged) {
            show(std::move(*m_shown));
            return;
        }
        refusal = tr("That password does not open the unsaved changes either.");
    }
}

} // namespace app
