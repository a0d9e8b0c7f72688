#include "platform/file_panels.h"

#include <QFileInfo>
#include <QLineEdit>

namespace platform {

namespace {

constexpr QLatin1StringView noteSuffix(".vpd");

// Qt's own dialog everywhere: the platform's may ignore the read-only option or add no suffix.
void useOwnDialog(QFileDialog& panel, const QString& startDirectory) {
    panel.setOption(QFileDialog::DontUseNativeDialog);
    if (!startDirectory.isEmpty()) {
        panel.setDirectory(startDirectory);
    }
}

/// A save panel that makes every chosen name end in ".vpd" before it checks whether the file exists, so that
/// replacing a file is confirmed for the file that will really be written.
class NoteSavePanel final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && !files.first().endsWith(noteSuffix) && !QFileInfo(files.first()).isDir()) {
            // The panel reads the name from its field; selectFile leaves the field alone while it has the focus,
            // which it has when the user presses Enter in it.
            if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                name->setText(files.first() + noteSuffix);
            } else {
                selectFile(files.first() + noteSuffix);
            }
        }
        QFileDialog::accept();
    }
};

} // namespace

std::unique_ptr<QFileDialog> makeOpenPanel(QWidget* parent, const QString& startDirectory) {
    auto panel = std::make_unique<QFileDialog>(parent, QObject::tr("Open Note"));
    useOwnDialog(*panel, startDirectory);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    panel->setFileMode(QFileDialog::ExistingFile);
    // Opening a note must not change anything else on disk: no new folder, no rename, no delete.
    panel->setOption(QFileDialog::ReadOnly);
    // Notes come first, but a note renamed without its suffix must still be reachable.
    panel->setNameFilters({QObject::tr("Vellumpad notes (*.vpd)"), QObject::tr("All files (*)")});
    return panel;
}

std::unique_ptr<QFileDialog> makeSavePanel(QWidget* parent, const QString& startDirectory) {
    std::unique_ptr<QFileDialog> panel = std::make_unique<NoteSavePanel>(parent, QObject::tr("Save Note"));
    useOwnDialog(*panel, startDirectory);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setNameFilter(QObject::tr("Vellumpad note (*.vpd)"));
    panel->setOption(QFileDialog::ReadOnly, false);
    return panel;
}

std::optional<QUrl> chosenFile(const QFileDialog& panel) {
    const QStringList files = panel.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    QString path = files.first();
    // A typed "//home/me/n.vpd" would become file://home/me/n.vpd with "home" as a host; on this system two leading
    // slashes mean what one does.
    while (path.startsWith(QLatin1String("//"))) {
        path.remove(0, 1);
    }
    return QUrl::fromLocalFile(path);
}

std::optional<QUrl> DialogFilePanels::runOpenPanel(QWidget* parent, const QString& startDirectory) {
    const std::unique_ptr<QFileDialog> panel = makeOpenPanel(parent, startDirectory);
    if (panel->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosenFile(*panel);
}

std::optional<QUrl> DialogFilePanels::runSavePanel(QWidget* parent, const QString& startDirectory) {
    const std::unique_ptr<QFileDialog> panel = makeSavePanel(parent, startDirectory);
    if (panel->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosenFile(*panel);
}

} // namespace platform
