#pragma once

#include "platform/preferences.h"

#include <QString>

namespace app {

/// The preference that holds the folder of the file last chosen in an open or save panel.
inline constexpr auto lastFolderKey = "lastFolder";

/// Where the open and save panels start: never the working directory, which is wherever the program happened to
/// be started from.
class StartFolder {
public:
    /// Keeps the last folder in preferences, which must outlive it.
    explicit StartFolder(platform::Preferences& preferences) : m_preferences(preferences) {}

    /// The folder of noteFile when it is not "", else the folder last chosen in a panel while it still exists, else
    /// the home folder.
    [[nodiscard]] QString forNote(const QString& noteFile) const;
    /// Remembers the folder of file, just chosen in a panel; a folder that cannot be kept is simply not remembered.
    void chose(const QString& file);

private:
    platform::Preferences& m_preferences;
};

} // namespace app
