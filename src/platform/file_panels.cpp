#include "platform/file_panels.h"

#include <QFileDialog>

namespace platform {

namespace {

std::optional<QUrl> runPanel(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QList<QUrl> urls = dialog.selectedUrls();
    if (urls.isEmpty()) {
        return std::nullopt;
    }
    return urls.first();
}

} // namespace

std::optional<QUrl> DialogFilePanels::runOpenPanel(QWidget* parent) {
    QFileDialog dialog(parent, QObject::tr("Open Note"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Notes come first, but a note renamed without its suffix must still be reachable.
    dialog.setNameFilters({QObject::tr("Vellumpad notes (*.vpd)"), QObject::tr("All files (*)")});
    return runPanel(dialog);
}

std::optional<QUrl> DialogFilePanels::runSavePanel(QWidget* parent) {
    QFileDialog dialog(parent, QObject::tr("Save Note"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QObject::tr("Vellumpad note (*.vpd)"));
    dialog.setDefaultSuffix(QStringLiteral("vpd"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    return runPanel(dialog);
}

} // namespace platform
