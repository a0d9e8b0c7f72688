#pragma once

#include "platform/password_keeper.h"

#include <QDialog>
#include <QPointer>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace preferences {

class PasswordPlaceChoice;
class PasswordStore;
class StrengthMeter;

/// The password preferences: a modal dialog with a masked password field and a masked "Repeat" field, which "Show
/// password" unmasks until the dialog is shown again. Save stores the password field's text exactly and closes when
/// the two fields match, and otherwise says so under them; when the store fails, it says so and stays open. Closing it
/// any other way stores nothing. It also chooses where the password is kept: with the keyring or nowhere, the fields
/// start empty and the stored password is never shown; left empty, they keep it. A strength meter under the fields
/// judges what is typed, and Generate fills both with a random password, shown until the dialog closes.
class PreferenceViewController final : public QDialog {
    Q_OBJECT

public:
    /// The dialog, not yet linked to a store.
    explicit PreferenceViewController(QWidget* parent = nullptr);

    /// The password store, set by viewDidLoad; not owned.
    PasswordStore* appDelegate = nullptr;
    /// The masked password field; becomes null by itself when the field is destroyed.
    QPointer<QLineEdit> tfPassword;
    /// The masked field in which the password is typed again.
    QLineEdit* tfRepeat = nullptr;

    /// Links the store, chooses the place it keeps the password in and, when that is the preferences file, fills both
    /// fields with its password.
    void viewDidLoad(PasswordStore& applicationDelegate);
    /// Puts a group of further preferences below the password's, above the buttons; the dialog takes it.
    void addSection(QWidget* section);

public slots:
    /// Stores the password field's text unaltered and closes the dialog when it matches the repeat field; otherwise
    /// says under the fields that they differ. When the place chosen is another, the password (typed, or else the one
    /// kept now) moves there. When the store fails, says so and stays open. Does nothing before viewDidLoad.
    void pushSaveButton();
    /// Fills both fields with a random password and shows it.
    void generatePassword();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /// Colours the warnings under the fields from the dialog's palette, so that they stay readable in any theme.
    void tintWarnings();

    QCheckBox* m_showPassword = nullptr;
    QLabel* m_mismatch = nullptr;
    QLabel* m_storeProblem = nullptr;
    PasswordPlaceChoice* m_place = nullptr;
    StrengthMeter* m_meter = nullptr;
    QPushButton* m_generate = nullptr;
    // Where the store kept the password when the dialog was loaded, and so what empty fields mean.
    std::optional<platform::PasswordPlace> m_loadedPlace;
};

} // namespace preferences
