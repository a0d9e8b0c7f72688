#include "preferences/recovery_copies_option.h"

#include <QBoxLayout>
#include <QDialog>

namespace preferences {

RecoveryCopiesOption::RecoveryCopiesOption(QDialog& dialog, bool keep)
    : QCheckBox(tr("&Keep encrypted copies of unsaved changes"), &dialog) {
    setObjectName(QStringLiteral("keepRecoveryCopies"));
    setToolTip(tr("Unsaved changes are copied, encrypted, a few seconds after typing pauses, so that they can be "
                  "recovered after a crash. The copy is removed once the note is saved or its changes discarded."));
    setChecked(keep);
    if (auto* layout = qobject_cast<QBoxLayout*>(dialog.layout())) {
        layout->insertWidget(layout->count() - 1, this);
    }
    connect(&dialog, &QDialog::accepted, this, [this] { emit chosen(isChecked()); });
}

} // namespace preferences
