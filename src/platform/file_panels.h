#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

namespace platform {

/// The modal file panels. Each blocks until the user answers and gives the chosen file's URL, or no value when the
/// user cancels (or the panel gives no file).
class FilePanels {
public:
    virtual ~FilePanels() = default;
    /// Picks one existing file of any type; folders and several files cannot be chosen.
    [[nodiscard]] virtual std::optional<QUrl> runOpenPanel(QWidget* parent) = 0;
    /// Picks a file to save as a "Vellumpad note (*.vpd)"; ".vpd" is added when missing; folders can be created.
    [[nodiscard]] virtual std::optional<QUrl> runSavePanel(QWidget* parent) = 0;
};

/// The panels as QFileDialog shows them.
class DialogFilePanels final : public FilePanels {
public:
    [[nodiscard]] std::optional<QUrl> runOpenPanel(QWidget* parent) override;
    [[nodiscard]] std::optional<QUrl> runSavePanel(QWidget* parent) override;
};

} // namespace platform
