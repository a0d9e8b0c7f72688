#pragma once

#include "cipher/base/result.h"

#include <QCoreApplication>
#include <QString>

namespace platform {

/// The words for a failure of the core, in the interface language: the one place a cause becomes text. The window
/// shows the sentences; the command-line tool, which installs no translation, names the cause in English.
class FailureText {
    Q_DECLARE_TR_FUNCTIONS(FailureText)

public:
    /// The whole sentence for the user, such as "Could not save "PATH": the disk is full."
    [[nodiscard]] static QString sentence(const cipher::Failure& failure);
    /// The cause alone in lowercase words, such as "the disk is full", for a sentence that names the file its own way.
    [[nodiscard]] static QString causeWords(const cipher::Failure& failure);
};

} // namespace platform
