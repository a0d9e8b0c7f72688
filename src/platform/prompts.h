#pragma once

#include <QString>

class QWidget;

namespace platform {

/// The user's answer when unsaved changes are about to be lost.
enum class UnsavedChangesChoice { Save, Discard, Cancel };

/// Questions put to the user in a modal box. Each blocks until the user answers.
class Prompts {
public:
    virtual ~Prompts() = default;
    /// Asks whether to save the changes to the note titled noteTitle before they are lost; closing the box
    /// without choosing counts as Cancel.
    [[nodiscard]] virtual UnsavedChangesChoice askToSaveChanges(QWidget* parent, const QString& noteTitle) = 0;
};

/// The questions as QMessageBox asks them.
class MessageBoxPrompts final : public Prompts {
public:
    [[nodiscard]] UnsavedChangesChoice askToSaveChanges(QWidget* parent, const QString& noteTitle) override;
};

} // namespace platform
