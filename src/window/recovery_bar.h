#pragma once

#include "window/message_bar.h"

class QLabel;
class QPushButton;

namespace window {

/// The bar above the note that offers unsaved changes kept from an earlier run: Restore and Discard, or Try Another
/// Password… and Discard when the changes do not open under the current password, or Discard alone when they cannot
/// be read. Hidden until asked to show; it only says what was chosen. A message bar is inside, so that it looks and
/// speaks like the window's other bars.
class RecoveryBar final : public QWidget {
    Q_OBJECT

public:
    /// What the bar offers.
    enum class Offer { restore, anotherPassword, discardOnly };

    /// A hidden bar.
    explicit RecoveryBar(QWidget* parent = nullptr);

    /// Shows message with the buttons of the offer.
    void showOffer(const QString& message, Offer offer);
    /// The message shown, or "" while hidden.
    [[nodiscard]] QString message() const;

signals:
    /// Restore was pressed.
    void restoreChosen();
    /// Discard was pressed.
    void discardChosen();
    /// Try Another Password… was pressed.
    void anotherPasswordChosen();

private:
    MessageBar* m_bar = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_anotherPassword = nullptr;
    QPushButton* m_discard = nullptr;
};

} // namespace window
