#pragma once

#include "platform/preferences.h"

#include <QObject>
#include <QStringList>

class QDialog;

namespace window {
class MainWindow;
}

namespace app {

class AppDelegate;

/// The preference that holds the recent notes, newest first, as a JSON array of full paths.
inline constexpr auto recentNotesKey = "recentNotes";
/// The preference that says whether recent notes are remembered: "false" turns it off; anything else leaves it on.
inline constexpr auto rememberRecentNotesKey = "rememberRecentNotes";

/// The notes opened or saved lately, kept in the program's own preferences (never in the desktop's shared list of
/// recent files, for a note's name says something), and File > Open Recent, which shows and opens them.
class RecentNotes final : public QObject {
    Q_OBJECT

public:
    /// How many notes are remembered.
    static constexpr qsizetype kept = 10;

    /// Keeps the list in preferences and fills window's Open Recent menu from it; opens a chosen note through
    /// delegate after its question about unsaved changes. All must outlive this object, a child of window.
    RecentNotes(window::MainWindow& window, AppDelegate& delegate, platform::Preferences& preferences);

    /// The remembered notes, newest first.
    [[nodiscard]] QStringList paths() const;
    /// Puts path first in the list, unless remembering is off.
    void add(const QString& path);
    /// Forgets every note.
    void clear();
    /// Whether notes are remembered (by default they are).
    [[nodiscard]] bool remembering() const;
    /// Turns remembering on or off; off also forgets every note.
    void setRemembering(bool remember);
    /// Adds the "Remember recent notes" check box to a preferences dialog, applied when the dialog is accepted.
    void addChoiceTo(QDialog& dialog);

private:
    void store(const QStringList& paths);

    platform::Preferences& m_preferences;
};

} // namespace app
