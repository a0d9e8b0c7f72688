#pragma once

#include <QString>

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
    /// Asks whether to write over the file at path all the same, to save elsewhere, or to stop; closing the box
    /// without choosing counts as Cancel.
    [[nodiscard]] virtual OverwriteChoice askToOverwrite(QWidget* parent, const QString& path,
                                                         OverwriteReason reason) = 0;
};

/// The questions as QMessageBox asks them.
class MessageBoxPrompts final : public Prompts {
public:
    [[nodiscard]] UnsavedChangesChoice askToSaveChanges(QWidget* parent, const QString& noteTitle) override;
    [[nodiscard]] OverwriteChoice askToOverwrite(QWidget* parent, const QString& path, OverwriteReason reason) override;
};

} // namespace platform
