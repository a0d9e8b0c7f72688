#pragma once

#include <QCheckBox>

class QDialog;

namespace preferences {

/// "Keep encrypted copies of unsaved changes": a check box that puts itself into a preferences dialog, above its
/// buttons, and reports its state when the dialog is accepted; closing the dialog any other way reports nothing.
class RecoveryCopiesOption final : public QCheckBox {
    Q_OBJECT

public:
    /// The option, checked when keep is true, added to dialog's vertical layout before its last item (the buttons).
    RecoveryCopiesOption(QDialog& dialog, bool keep);

signals:
    /// The dialog was accepted with the box checked (true) or not.
    void chosen(bool keep);
};

} // namespace preferences
