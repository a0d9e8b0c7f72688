#include "app/editor.h"
#include "cipher/log.h"
#include "cipher/trace.h"
#include "platform/file_panels.h"
#include "platform/preferences.h"
#include "platform/prompts.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vellumpad"));
    QApplication::setApplicationName(QStringLiteral("Vellumpad"));
    QApplication::setDesktopFileName(QStringLiteral("vellumpad"));
    // Installed, the icon comes from the theme; uninstalled, the window falls back to the platform's default.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vellumpad")));

    platform::SettingsPreferences preferences(platform::SettingsPreferences::defaultFilePath());
    platform::DialogFilePanels panels;
    platform::MessageBoxPrompts prompts;
    cipher::StderrLog log("vellumpad");

    app::Editor editor(preferences, panels, prompts, log, cipher::Trace::fromEnvironment());
    editor.delegate().applicationDidFinishLaunching();
    editor.mainWindow().show();
    const int status = QApplication::exec();
    editor.delegate().applicationWillTerminate();
    return status;
}
