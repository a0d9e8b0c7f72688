#include "app/command_line.h"
#include "app/editor.h"
#include "app/interface_language.h"
#include "cipher/base/core_dumps.h"
#include "cipher/base/log.h"
#include "cipher/files/interrupted_saves.h"
#include "cipher/note/trace.h"
#include "platform/file_panels.h"
#include "platform/preferences.h"
#include "platform/prompts.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLocale>

#include <csignal>
#include <cstdio>
#include <string_view>

namespace {

// Printing the version or the help needs no display; without one (over ssh, say) the default platform would end
// the program before the command line is read.
bool asksOnlyForText(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            return false;
        }
        if (argument == "--version" || argument == "-v" || argument == "--help" || argument == "-h" ||
            argument == "--help-all") {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    (void)cipher::disableCoreDumps(); // a core dump would hold the note and the password in plain text
    // A logout sends these: a save under way leaves no temporary file behind.
    cipher::removeNotedTemporariesOnSignals({SIGTERM, SIGHUP});
    (void)cipher::wipeFreedMemory();  // nor should the memory Qt and Scintilla free
    if (asksOnlyForText(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "minimal");
    }
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vellumpad"));
    QApplication::setApplicationName(QStringLiteral("Vellumpad"));
    QApplication::setDesktopFileName(QStringLiteral("vellumpad"));
    // Installed, the icon comes from the theme; uninstalled, the window falls back to the platform's default.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vellumpad")));
    // Before the command line is read, so that its help speaks the same language as the window.
    const app::InterfaceLanguage language(QLocale::system().uiLanguages());

    // QApplication has already taken its own options (-platform and the like) out of the arguments.
    const app::StartupRequest request = app::parseCommandLine(QApplication::arguments(), QDir::currentPath());
    std::fputs(request.output.toLocal8Bit().constData(), stdout);
    std::fputs(request.errors.toLocal8Bit().constData(), stderr);
    if (request.exitStatus) {
        return *request.exitStatus;
    }

    platform::SettingsPreferences preferences(platform::SettingsPreferences::defaultFilePath());
    platform::keepOwnerOnly(platform::filePanelHistoryPath()); // it names the folders where notes live
    platform::DialogFilePanels panels;
    platform::MessageBoxPrompts prompts;
    cipher::StderrLog log("vellumpad");

    app::Editor editor(preferences, panels, prompts, log, cipher::Trace::fromEnvironment());
    editor.delegate().applicationDidFinishLaunching();
    editor.mainWindow().show();
    // The same road as File > Open, so a file manager's note fails the same way: named in the window's problem bar.
    if (!request.file.isEmpty()) {
        (void)editor.delegate().openNote(request.file);
    }
    editor.offerRecovery();
    const int status = QApplication::exec();
    editor.delegate().applicationWillTerminate();
    return status;
}
