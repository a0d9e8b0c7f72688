#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace preferences {

class PasswordStore;

/// The password preferences: a modal dialog with a masked field that "Show password" unmasks until the dialog is
/// shown again. Save stores the field's text exactly and closes, or says that it could not be stored and stays open;
/// closing it any other way stores nothing.
class PreferenceViewController final : public QDialog {
    Q_OBJECT

public:
    /// The dialog, not yet linked to a store.
    explicit PreferenceViewController(QWidget* parent = nullptr);

    /// The password store, set by viewDidLoad; not owned.
    PasswordStore* appDelegate = nullptr;
    /// The masked password field; becomes null by itself when the field is destroyed.
    QPointer<QLineEdit> tfPassword;

    /// Links the store and fills the field with its password.
    void viewDidLoad(PasswordStore& applicationDelegate);

public slots:
    /// Stores the field's text unaltered and closes the dialog; when the store fails, says so and stays open. Does
    /// nothing before viewDidLoad.
    void pushSaveButton();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QCheckBox* m_showPassword = nullptr;
    QLabel* m_storeProblem = nullptr;
};

} // namespace preferences
