#pragma once

#include <QString>

#include <memory>
#include <optional>

class QInputDialog;
class QMessageBox;
class QWidget;

namespace platform {

/// The user's answer when unsaved changes are about to be lost.
enum class UnsavedChangesChoice { Save, Discard, Cancel };

/// Why writing over a note file needs the user's word.
enum class OverwriteReason { ChangedOnDisk, ReadOnly };

/// The user's answer when a save would write over a file that changed on disk or is read-only.
enum class OverwriteChoice { Overwrite, SaveAs, Cancel };

/// Questions put to the user in a modal box. Each blocks until the user answers.
class Prompts {
public:
    virtual ~Prompts() = default;
    /// Asks whether to save the changes to the note titled noteTitle before they are lost; closing the box
    /// without choosing counts as Cancel.
    [[nodiscard]] virtual UnsavedChangesChoice askToSaveChanges(QWidget* parent, const QString& noteTitle) = 0;
    /// Asks whether to save the note, opened or last saved under another password, under the stored one: true for
    /// "Save With New Password", false for Cancel or a box closed without choosing.
    [[nodiscard]] virtual bool askToSaveUnderNewPassword(QWidget* parent) = 0;
    /// Asks for the password of the note file at path in a masked field, saying refusal first when it is not
    /// empty (why the last password given was refused); no value when the user cancels.
    [[nodiscard]] virtual std::optional<QString> askForPassword(QWidget* parent, const QString& path,
                                                                const QString& refusal) = 0;
    /// Asks for the password of the locked note, to unlock it before it is saved, saying refusal first when it is
    /// not empty; no value when the user cancels. Names no file. Unless a platform words it itself, asked as
    /// askForPassword is.
    [[nodiscard]] virtual std::optional<QString> askToUnlock(QWidget* parent, const QString& refusal) {
        return askForPassword(parent, QString(), refusal);
    }
    /// Asks whether to write over the file at path all the same, to save elsewhere, or to stop; closing the box
    /// without choosing counts as Cancel.
    [[nodiscard]] virtual OverwriteChoice askToOverwrite(QWidget* parent, const QString& path,
                                                         OverwriteReason reason) = 0;
};

/// The box that asks for masked text as MessageBoxPrompts shows it, not yet shown: label under refusal when that is not
/// empty, and okText on the button that accepts.
[[nodiscard]] std::unique_ptr<QInputDialog> makeMaskedTextBox(QWidget* parent, const QString& title, QString label,
                                                              const QString& refusal, const QString& okText);
/// The unsaved-changes box as MessageBoxPrompts shows it, not yet shown.
[[nodiscard]] std::unique_ptr<QMessageBox> makeUnsavedChangesBox(QWidget* parent, const QString& noteTitle);
/// The box asking to save under the new password, not yet shown; its accepting button is the yes.
[[nodiscard]] std::unique_ptr<QMessageBox> makeNewPasswordBox(QWidget* parent);
/// The box asking to write over a file, not yet shown: its destructive button overwrites, its accepting one saves
/// elsewhere.
[[nodiscard]] std::unique_ptr<QMessageBox> makeOverwriteBox(QWidget* parent, const QString& path,
                                                            OverwriteReason reason);

/// The questions as QMessageBox and QInputDialog ask them.
class MessageBoxPrompts final : public Prompts {
public:
    [[nodiscard]] UnsavedChangesChoice askToSaveChanges(QWidget* parent, const QString& noteTitle) override;
    [[nodiscard]] bool askToSaveUnderNewPassword(QWidget* parent) override;
    [[nodiscard]] std::optional<QString> askForPassword(QWidget* parent, const QString& path,
                                                        const QString& refusal) override;
    [[nodiscard]] std::optional<QString> askToUnlock(QWidget* parent, const QString& refusal) override;
    [[nodiscard]] OverwriteChoice askToOverwrite(QWidget* parent, const QString& path, OverwriteReason reason) override;
};

} // namespace platform
