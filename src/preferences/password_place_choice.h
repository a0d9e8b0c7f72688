#pragma once

#include "platform/password_keeper.h"

#include <QGroupBox>

#include <optional>

class QRadioButton;

namespace preferences {

/// The choice of where the password is kept, one button per place, each with a line on what it protects against.
class PasswordPlaceChoice final : public QGroupBox {
    Q_OBJECT

public:
    explicit PasswordPlaceChoice(QWidget* parent = nullptr);

    /// The place chosen.
    [[nodiscard]] platform::PasswordPlace chosen() const;
    /// Chooses place; with no value (a place the program does not know), chooses none.
    void choose(std::optional<platform::PasswordPlace> place);

private:
    QRadioButton* m_file = nullptr;
    QRadioButton* m_keyring = nullptr;
    QRadioButton* m_nowhere = nullptr;
};

} // namespace preferences
