#pragma once

#include <QString>

class QWidget;

namespace app {

/// The text of Help > About Vellumpad: the version, the licence, the file format with its weakness, and that the
/// password is kept in plain text at passwordLocation.
[[nodiscard]] QString aboutText(const QString& passwordLocation);

/// Shows the About box over parent, window-modal, without blocking; it deletes itself when closed.
void showAbout(QWidget* parent, const QString& passwordLocation);

} // namespace app
