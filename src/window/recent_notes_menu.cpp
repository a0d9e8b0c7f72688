#include "window/recent_notes_menu.h"

#include <QFileInfo>

namespace window {

RecentNotesMenu::RecentNotesMenu(QWidget* parent) : QMenu(tr("Open &Recent"), parent) {
    setObjectName(QStringLiteral("menuOpenRecent"));
    setPaths({});
}

void RecentNotesMenu::setPaths(const QStringList& paths) {
    clear();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        // "&" in a path would become a mnemonic; doubled, it shows as itself.
        QString shown = path;
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = addAction(i < 10 ? QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(shown) : shown);
        entry->setObjectName(QStringLiteral("actionRecentNote%1").arg(i + 1));
        entry->setEnabled(QFileInfo::exists(path));
        connect(entry, &QAction::triggered, this, [this, path] { emit noteChosen(path); });
    }
    addSeparator();
    QAction* clearList = addAction(tr("&Clear List"));
    clearList->setObjectName(QStringLiteral("actionClearRecentNotes"));
    clearList->setEnabled(!paths.isEmpty());
    connect(clearList, &QAction::triggered, this, &RecentNotesMenu::clearChosen);
}

} // namespace window
