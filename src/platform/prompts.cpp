#include "platform/prompts.h"

#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

std::unique_ptr<QInputDialog> makeMaskedTextBox(QWidget* parent, const QString& title, QString label,
                                                const QString& refusal, const QString& okText) {
    auto dialog = std::make_unique<QInputDialog>(parent);
    dialog->setWindowTitle(title);
    if (!refusal.isEmpty()) {
        label = refusal + QStringLiteral("\n\n") + label;
    }
    dialog->setLabelText(label);
    dialog->setTextEchoMode(QLineEdit::Password);
    dialog->setOkButtonText(okText);
    dialog->setCancelButtonText(QObject::tr("&Cancel"));
    return dialog;
}

std::unique_ptr<QMessageBox> makeUnsavedChangesBox(QWidget* parent, const QString& noteTitle) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QObject::tr("Unsaved changes"));
    box->setText(QObject::tr("Save the changes to “%1”?").arg(noteTitle));
    box->setInformativeText(QObject::tr("Your changes will be lost if you don't save them."));
    box->setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    // Qt's own labels carry no Alt+letter on every desktop.
    box->button(QMessageBox::Save)->setText(QObject::tr("&Save"));
    box->button(QMessageBox::Discard)->setText(QObject::tr("&Discard"));
    box->button(QMessageBox::Cancel)->setText(QObject::tr("&Cancel"));
    box->setDefaultButton(QMessageBox::Save);
    box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

std::unique_ptr<QMessageBox> makeNewPasswordBox(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QObject::tr("Password changed"));
    box->setText(QObject::tr("This note was opened with a different password. Save it under the new password?"));
    box->addButton(QObject::tr("Save With &New Password"), QMessageBox::AcceptRole);
    QPushButton* cancel = box->addButton(QObject::tr("&Cancel"), QMessageBox::RejectRole);
    // Re-keying the file is the step that cannot be taken back, so it is never the default.
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

std::unique_ptr<QMessageBox> makeOverwriteBox(QWidget* parent, const QString& path, OverwriteReason reason) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QObject::tr("Save"));
    box->setText(reason == OverwriteReason::ReadOnly ? QObject::tr("The file is read-only")
                                                     : QObject::tr("The file has changed on disk since it was opened"));
    box->setInformativeText(reason == OverwriteReason::ReadOnly
                                ? QObject::tr("“%1” is marked read-only. Overwrite it all the same?").arg(path)
                                : QObject::tr("Overwriting “%1” loses what was changed there.").arg(path));
    box->addButton(QObject::tr("&Overwrite"), QMessageBox::DestructiveRole);
    box->addButton(QObject::tr("Save &As…"), QMessageBox::AcceptRole);
    QPushButton* cancel = box->addButton(QObject::tr("&Cancel"), QMessageBox::RejectRole);
    // Nothing is lost by a reflexive Enter.
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

namespace {

// A masked field in a box, saying refusal first when it is not empty; no value when cancelled.
std::optional<QString> askForMaskedText(QWidget* parent, const QString& title, const QString& label,
                                        const QString& refusal, const QString& okText) {
    const std::unique_ptr<QInputDialog> dialog = makeMaskedTextBox(parent, title, label, refusal, okText);
    if (dialog->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog->textValue();
}

} // namespace

UnsavedChangesChoice MessageBoxPrompts::askToSaveChanges(QWidget* parent, const QString& noteTitle) {
    const std::unique_ptr<QMessageBox> box = makeUnsavedChangesBox(parent, noteTitle);
    switch (box->exec()) {
    case QMessageBox::Save:
        return UnsavedChangesChoice::Save;
    case QMessageBox::Discard:
        return UnsavedChangesChoice::Discard;
    default:
        return UnsavedChangesChoice::Cancel;
    }
}

bool MessageBoxPrompts::askToSaveUnderNewPassword(QWidget* parent) {
    const std::unique_ptr<QMessageBox> box = makeNewPasswordBox(parent);
    box->exec();
    return box->buttonRole(box->clickedButton()) == QMessageBox::AcceptRole;
}

std::optional<QString> MessageBoxPrompts::askForPassword(QWidget* parent, const QString& path, const QString& refusal) {
    return askForMaskedText(parent, QObject::tr("Try Another Password"),
                            QObject::tr("Password for “%1”:").arg(QFileInfo(path).fileName()), refusal,
                            QObject::tr("&Open"));
}

std::optional<QString> MessageBoxPrompts::askToUnlock(QWidget* parent, const QString& refusal) {
    return askForMaskedText(parent, QObject::tr("Unlock to Save"),
                            QObject::tr("The note is locked. Enter its password to unlock and save it:"), refusal,
                            QObject::tr("&Unlock"));
}

OverwriteChoice MessageBoxPrompts::askToOverwrite(QWidget* parent, const QString& path, OverwriteReason reason) {
    const std::unique_ptr<QMessageBox> box = makeOverwriteBox(parent, path, reason);
    box->exec();
    const QMessageBox::ButtonRole chosen = box->buttonRole(box->clickedButton());
    if (chosen == QMessageBox::DestructiveRole) {
        return OverwriteChoice::Overwrite;
    }
    if (chosen == QMessageBox::AcceptRole) {
        return OverwriteChoice::SaveAs;
    }
    return OverwriteChoice::Cancel;
}

} // namespace platform
