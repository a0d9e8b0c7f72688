#include "app/command_line.h"

#include <QCommandLineParser>
#include <QDir>

namespace app {

StartupRequest parseCommandLine(const QStringList& arguments, const QString& workingDirectory) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QObject::tr("Edit one encrypted plain-text note."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QObject::tr("The note (.vpd) to open."),
                                 QStringLiteral("[file]"));

    StartupRequest request;
    const QString usage = QObject::tr("Usage: vellumpad [file]\n");
    if (!parser.parse(arguments)) {
        request.errors = QStringLiteral("vellumpad: %1\n").arg(parser.errorText()) + usage;
        request.exitStatus = 2;
        return request;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        request.output = parser.helpText();
        request.exitStatus = 0;
        return request;
    }
    if (parser.isSet(version)) {
        request.output = QStringLiteral("vellumpad " VELLUMPAD_VERSION "\n");
        request.exitStatus = 0;
        return request;
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        return request;
    }
    // The title shows the full path, and a later Save must not depend on where the program was started from.
    request.file = QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(files.first()));
    if (files.size() > 1) {
        const QString ignored = QLatin1Char('"') + files.mid(1).join(QStringLiteral("\", \"")) + QLatin1Char('"');
        request.errors =
            QObject::tr("vellumpad: one note at a time; opening \"%1\" and ignoring %2\n").arg(files.first(), ignored) +
            usage;
    }
    return request;
}

} // namespace app
