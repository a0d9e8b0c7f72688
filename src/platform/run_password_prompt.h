#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace platform {

/// Asks, in two masked boxes over parent, for the password to use for the rest of this run, and again until the two
/// match; no value when the user cancels. Blocks until answered.
[[nodiscard]] std::optional<QString> askForRunPassword(QWidget* parent);

} // namespace platform
