#include "app/start_folder.h"

#include <QDir>
#include <QFileInfo>

namespace app {

QString StartFolder::forNote(const QString& noteFile) const {
    if (!noteFile.isEmpty()) {
        return QFileInfo(noteFile).absolutePath();
    }
    const std::optional<QString> last = m_preferences.stringForKey(QString::fromLatin1(lastFolderKey));
    if (last && !last->isEmpty() && QFileInfo(*last).isDir()) {
        return *last;
    }
    return QDir::homePath();
}

void StartFolder::chose(const QString& file) {
    (void)m_preferences.setString(QString::fromLatin1(lastFolderKey), QFileInfo(file).absolutePath());
}

} // namespace app
