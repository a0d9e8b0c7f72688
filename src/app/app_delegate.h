#pragma once

#include "app/disk_guard.h"
#include "app/note_password_guard.h"
#include "app/password_places.h"
#include "app/password_retry.h"
#include "app/start_folder.h"
#include "cipher/base/result.h"
#include "platform/file_panels.h"
#include "platform/keyring_password_keeper.h"
#include "platform/preferences.h"
#include "platform/prompts.h"
#include "preferences/password_store.h"
#include "window/application_delegate.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QUrl;

namespace app {

/// The application's delegate: the password store over the preferences and the File commands, which drive the
/// linked note view controller. Decides; the note window shows and the core computes.
class AppDelegate final : public QObject, public window::ApplicationDelegate, public preferences::PasswordStore {
    Q_OBJECT

public:
    /// A delegate with no note view linked; preferences, panels and prompts must outlive it.
    AppDelegate(platform::Preferences& preferences, platform::FilePanels& panels, platform::Prompts& prompts);

    /// The linked note view controller, set by its viewDidLoad; not owned.
    window::ViewController* vc = nullptr;
    /// A text no command reads or writes; "" at start.
    QString pass;

    /// Does nothing: no note is opened at start.
    void applicationDidFinishLaunching() {}
    /// Wipes the fingerprint of the note's password and a password held for this run only; unsaved changes are
    /// settled when the window closes.
    void applicationWillTerminate() {
        m_passwordGuard.forget();
        m_passwords.asked().forget();
    }

    /// The password from where it is kept (the preference "password" unless the preferences say otherwise), or ""
    /// when none is stored; "" too for one that cannot be had, which passwordForNote tells apart.
    [[nodiscard]] QString getPassword() const override;
    /// The password from where it is kept, or unusable when it cannot be had (no usable text, no keyring, none
    /// given).
    [[nodiscard]] window::NotePassword passwordForNote() const override;
    /// Stores the text exactly where the password is kept; leaves pass alone. False when it could not be stored.
    [[nodiscard]] bool setPasswordWithPass(const QString& password) override;
    [[nodiscard]] std::optional<platform::PasswordPlace> passwordPlace() const override { return m_passwords.place(); }
    [[nodiscard]] QString storeProblem() const override { return m_storeProblem; }
    [[nodiscard]] std::optional<QString> keepPasswordIn(platform::PasswordPlace place,
                                                        const std::optional<QString>& password) override {
        std::optional<QString> problem = m_passwords.moveTo(place, password);
        emit passwordStateChanged();
        return problem;
    }
    /// Where the password is kept; its "nowhere" keeper is the one to forget on Lock.
    [[nodiscard]] PasswordPlaces& passwordPlaces() noexcept { return m_passwords; }
    /// Links the note view controller.
    void setVc(window::ViewController* viewController) override { vc = viewController; }

    /// Reads and decrypts the note at path, replacing the text without asking about unsaved changes. Only a whole
    /// note replaces the text, filename and title, and is remembered as read; otherwise the window says which file
    /// failed and why, and false is returned.
    bool openNote(const QString& path);
    /// Opens the note at path as openNote does once unsaved changes are settled (a recent note, a dropped file).
    void openAfterAskingAboutChanges(const QString& path);

    /// Whether the note's file holds other text than when the window last read or wrote it; false for a note with
    /// no file, or whose file has gone away.
    [[nodiscard]] bool fileChangedOnDisk() const;

    /// What recognises the password of the note in the window: the one it was opened or last saved with; no value
    /// for a note that has none yet.
    [[nodiscard]] std::optional<cipher::PasswordFingerprint> notePassword() const {
        return m_passwordGuard.notePassword();
    }
    /// Asked before the note is written, and before Save is chosen to settle unsaved changes; returning false stops
    /// the save (a locked note whose password was not given).
    void setSaveCheck(std::function<bool()> check) { m_saveCheck = std::move(check); }

    /// Settles unsaved changes before they would be lost: asks Save, Discard or Cancel. True when there were none,
    /// they were saved, or the user discarded them; false when the user cancelled or the save failed.
    [[nodiscard]] bool resolveUnsavedChanges();

public slots:
    /// New: after settling unsaved changes, empties the note, clears filename and titles it "名称未設定".
    void clickNewMenu();
    /// Open: after settling unsaved changes, asks for a file and opens it as openNote does.
    void clickOpenMenu();
    /// Reload: after settling unsaved changes, reads the note's file again as openNote does; nothing without a file.
    void reload();
    /// Save: writes to filename without a panel, or runs Save As while the note has no file. Asks first when the
    /// file changed on disk since it was read or written, or is read-only.
    void clickSaveMenu();
    /// Save As: always asks for a path.
    void clickSaveAsMenu();
    /// Save As: asks for a path, sets filename, writes there and titles the note with the path. Asks first when the
    /// chosen file is read-only. True when the note was written.
    bool funcSaveAs();
    /// Try Another Password: after settling unsaved changes, asks for the password of the note that last failed to
    /// open as if under a wrong password; one that opens it becomes the stored password and the note opens.
    void tryAnotherPassword();
    /// Restore: with unsaved changes settled by the caller, puts the note of the recovery copy at copyPath, opened
    /// under password, into the view as unsaved changes over the note at notePath ("" for a note that never had a
    /// file), whose file is left alone. When the copy does not open, says why in the window and returns false.
    bool restoreRecoveredChanges(const QString& copyPath, const QString& notePath, const QString& password);

signals:
    /// A note was opened from the file at path.
    void noteOpenedFrom(const QString& path);

signals:
    /// The stored password, or the one the note is known to be under, may have changed.
    void passwordStateChanged();

private:
    [[nodiscard]] bool save();
    [[nodiscard]] bool writeNote(const QString& path);
    [[nodiscard]] std::optional<QString> chosenPath(const QUrl& url);
    /// Makes the note just loaded from path the window's note, opened under password; read is the file as loaded.
    void noteOpened(const QString& path, const QString& password, const DiskGuard& read);
    /// Save As once the password question, if any, is settled.
    [[nodiscard]] bool saveAs();
    /// The folder of the note's file, or "" when it has none.
    [[nodiscard]] QString startDirectory() const;
    /// Why the stored password cannot encrypt or decrypt the note at path, for a failure refused as an unusable
    /// password, in the words of where it is kept; else no value.
    [[nodiscard]] std::optional<QString> unusablePassword(const QString& path, const cipher::Failure& refused) const;
    /// Overwrite when nothing stands against writing over path, else the user's answer.
    [[nodiscard]] platform::OverwriteChoice askBeforeWritingOver(const DiskGuard& guard, const QString& path);
    /// Asks as askBeforeWritingOver does; no value to go on writing, else what saving elsewhere or cancelling gave.
    [[nodiscard]] std::optional<bool> unlessWritingOver(const DiskGuard& guard, const QString& path);

    platform::Preferences& m_preferences;
    platform::FilePanels& m_panels;
    platform::Prompts& m_prompts;
    platform::KeyringPasswordKeeper m_keyring;
    // Reading may ask for the password or wait for the keyring, which getPassword's callers need not know.
    mutable PasswordPlaces m_passwords{m_preferences, m_keyring};
    QString m_storeProblem;
    NotePasswordGuard m_passwordGuard{*this, m_prompts};
    PasswordRetry m_passwordRetry{*this, m_prompts};
    // The note's file as it was last read or written.
    DiskGuard m_disk;
    std::function<bool()> m_saveCheck;
    StartFolder m_startFolder{m_preferences};
};

} // namespace app
