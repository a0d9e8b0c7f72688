#include "platform/run_password_prompt.h"

#include "platform/prompts.h"

#include <QInputDialog>
#include <QLineEdit>

#include <memory>

namespace platform {
namespace {

std::optional<QString> askOnce(QWidget* parent, const QString& label) {
    const std::unique_ptr<QInputDialog> dialog =
        makeMaskedTextBox(parent, QObject::tr("Password"), label, QString(), QObject::tr("&OK"));
    if (dialog->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog->textValue();
}

} // namespace

std::optional<QString> askForRunPassword(QWidget* parent) {
    QString intro = QObject::tr("The password is kept nowhere: it is asked for once a run and held in memory only.");
    for (;;) {
        const std::optional<QString> first = askOnce(parent, intro + QStringLiteral("\n\n") + QObject::tr("Password:"));
        if (!first) {
            return std::nullopt;
        }
        // A mistyped password would key every note saved in this run.
        const std::optional<QString> repeat = askOnce(parent, QObject::tr("Repeat the password:"));
        if (!repeat) {
            return std::nullopt;
        }
        if (*first == *repeat) {
            return first;
        }
        intro = QObject::tr("The two passwords differ. Type the same password twice.");
    }
}

} // namespace platform
