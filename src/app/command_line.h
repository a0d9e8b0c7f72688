#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace app {

/// What the editor's command line asks for, once Qt has taken its own options (-platform and the like) out.
struct StartupRequest {
    /// The absolute path of the note to open at start, or "" for an empty note.
    QString file;
    /// Text for the standard output (the help or the version), or "".
    QString output;
    /// Text for the standard error (a usage message), or "".
    QString errors;
    /// Set when the program is to end at once with this status instead of showing the window.
    std::optional<int> exitStatus;
};

/// Reads "vellumpad [FILE]" from arguments (the program name first); a relative FILE is taken from
/// workingDirectory. More than one file opens the first and explains in errors that the rest are ignored; an
/// unknown option ends with status 2 and a usage message; --help ends with status 0 and the help, --version (-v)
/// with status 0 and "vellumpad VERSION".
[[nodiscard]] StartupRequest parseCommandLine(const QStringList& arguments, const QString& workingDirectory);

} // namespace app
