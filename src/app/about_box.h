#pragma once

#include <QString>

class QWidget;

namespace app {

/// The text of Help > About Vellumpad: the version, the licence, the file format with its weakness, and where the
/// password can be kept (the preferences file being passwordLocation), with what each place protects against.
[[nodiscard]] QString aboutText(const QString& passwordLocation);

/// Shows the About box over parent, window-modal, without blocking; it deletes itself when closed.
void showAbout(QWidget* parent, const QString& passwordLocation);

} // namespace app
