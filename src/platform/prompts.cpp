#include "platform/prompts.h"

#include <QMessageBox>

namespace platform {

UnsavedChangesChoice MessageBoxPrompts::askToSaveChanges(QWidget* parent, const QString& noteTitle) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QObject::tr("Unsaved changes"));
    box.setText(QObject::tr("Save the changes to “%1”?").arg(noteTitle));
    box.setInformativeText(QObject::tr("Your changes will be lost if you don't save them."));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return UnsavedChangesChoice::Save;
    case QMessageBox::Discard:
        return UnsavedChangesChoice::Discard;
    default:
        return UnsavedChangesChoice::Cancel;
    }
}

} // namespace platform
