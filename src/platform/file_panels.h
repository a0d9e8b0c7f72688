#pragma once

#include <QFileDialog>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QWidget;

namespace platform {

/// The modal file panels. Each blocks until the user answers and gives the chosen file's URL, or no value when the
/// user cancels (or the panel gives no file). Each starts in startDirectory, or where the panel likes when it is "".
class FilePanels {
public:
    virtual ~FilePanels() = default;
    /// Picks one existing file of any type; folders and several files cannot be chosen, and nothing can be created,
    /// renamed or deleted.
    [[nodiscard]] virtual std::optional<QUrl> runOpenPanel(QWidget* parent, const QString& startDirectory) = 0;
    /// Picks a file to save as a "Vellumpad note (*.vpd)"; ".vpd" is added to any name not ending in it, and
    /// replacing an existing file of that final name is confirmed; folders can be created.
    [[nodiscard]] virtual std::optional<QUrl> runSavePanel(QWidget* parent, const QString& startDirectory) = 0;
};

/// The open panel as DialogFilePanels shows it, not yet shown.
[[nodiscard]] std::unique_ptr<QFileDialog> makeOpenPanel(QWidget* parent, const QString& startDirectory);
/// The save panel as DialogFilePanels shows it, not yet shown.
[[nodiscard]] std::unique_ptr<QFileDialog> makeSavePanel(QWidget* parent, const QString& startDirectory);
/// The file an accepted panel chose, as a "file:///" URL of its absolute path; no value when it chose none.
[[nodiscard]] std::optional<QUrl> chosenFile(const QFileDialog& panel);

/// The panels as QFileDialog shows them.
class DialogFilePanels final : public FilePanels {
public:
    [[nodiscard]] std::optional<QUrl> runOpenPanel(QWidget* parent, const QString& startDirectory) override;
    [[nodiscard]] std::optional<QUrl> runSavePanel(QWidget* parent, const QString& startDirectory) override;
};

} // namespace platform
