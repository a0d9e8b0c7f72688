#include "app/app_delegate.h"

#include "cipher/url_path.h"
#include "window/view_controller.h"

#include <QUrl>

#include <string>
#include <string_view>

namespace app {

namespace {

QString passwordKey() {
    return QString::fromLatin1(platform::passwordKey);
}

} // namespace

AppDelegate::AppDelegate(platform::Preferences& preferences, platform::FilePanels& panels, platform::Prompts& prompts)
    : m_preferences(preferences), m_panels(panels), m_prompts(prompts) {}

QString AppDelegate::getPassword() const {
    return m_preferences.stringForKey(passwordKey()).value_or(QString());
}

void AppDelegate::setPasswordWithPass(const QString& password) {
    m_preferences.setString(passwordKey(), password);
}

bool AppDelegate::resolveUnsavedChanges() {
    if (vc == nullptr || !vc->isModified()) {
        return true;
    }
    switch (m_prompts.askToSaveChanges(vc->window(), vc->title())) {
    case platform::UnsavedChangesChoice::Save:
        return save();
    case platform::UnsavedChangesChoice::Discard:
        return true;
    case platform::UnsavedChangesChoice::Cancel:
        break;
    }
    return false;
}

void AppDelegate::clickNewMenu() {
    if (vc == nullptr || !resolveUnsavedChanges()) {
        return;
    }
    // filename stays, so that a later Save writes over the file last opened or saved.
    vc->setNoteText(QString());
    vc->setTitle(window::untitledTitle.toString());
    vc->clearProblem();
    m_passwordGuard.forget();
}

void AppDelegate::clickOpenMenu() {
    if (vc == nullptr || !resolveUnsavedChanges()) {
        return;
    }
    const std::optional<QUrl> url = m_panels.runOpenPanel(vc->window());
    if (!url) {
        return;
    }
    const std::optional<QString> path = chosenPath(*url);
    if (!path) {
        return;
    }
    (void)openNote(*path);
}

bool AppDelegate::openNote(const QString& path) {
    if (vc == nullptr) {
        return false;
    }
    // A note that does not decrypt whole is never shown: saving a part of it would lose the rest for good.
    const cipher::Result<cipher::Done> loaded = vc->loadEncryptedText(path);
    if (!loaded) {
        m_passwordRetry.showFailure(*vc, path, loaded.failure());
        return false;
    }
    noteOpened(path, getPassword());
    return true;
}

void AppDelegate::tryAnotherPassword() {
    if (vc == nullptr || !resolveUnsavedChanges()) {
        return;
    }
    if (const std::optional<OpenedNote> opened = m_passwordRetry.run(*vc)) {
        noteOpened(opened->path, opened->password);
    }
}

void AppDelegate::noteOpened(const QString& path, const QString& password) {
    vc->filename = path;
    vc->setTitle(path);
    vc->clearProblem();
    vc->showNotice(tr("Opened %1").arg(path));
    m_passwordGuard.noteKeyed(password);
}

void AppDelegate::clickSaveMenu() {
    if (vc == nullptr) {
        return;
    }
    (void)save();
}

void AppDelegate::clickSaveAsMenu() {
    (void)funcSaveAs();
}

bool AppDelegate::funcSaveAs() {
    if (vc == nullptr || !m_passwordGuard.confirmSave(vc->window())) {
        return false;
    }
    const std::optional<QUrl> url = m_panels.runSavePanel(vc->window());
    if (!url) {
        return false;
    }
    const std::optional<QString> path = chosenPath(*url);
    if (!path) {
        return false;
    }
    vc->filename = *path;
    const bool written = writeNote(*path);
    vc->setTitle(*path);
    return written;
}

bool AppDelegate::save() {
    if (vc->filename.isEmpty()) {
        return funcSaveAs();
    }
    if (!m_passwordGuard.confirmSave(vc->window())) {
        return false;
    }
    return writeNote(vc->filename);
}

bool AppDelegate::writeNote(const QString& path) {
    const cipher::Result<cipher::Done> saved = vc->saveEncryptedText(path);
    if (!saved) {
        vc->showProblem(QString::fromStdString(saved.failure().message) + QLatin1Char(' ') +
                        tr("The note has not been saved."));
        // The file the title names does not hold this note, so closing must still ask.
        vc->setModified(true);
        return false;
    }
    vc->setModified(false);
    vc->clearProblem();
    vc->showNotice(tr("Saved %1").arg(path));
    m_passwordGuard.noteSaved(*vc);
    return true;
}

std::optional<QString> AppDelegate::chosenPath(const QUrl& url) {
    const QByteArray encoded = url.toString(QUrl::FullyEncoded).toUtf8();
    const std::optional<std::string> path =
        cipher::pathFromUrl(std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())));
    if (!path || path->empty()) {
        vc->showProblem(tr("Could not use \"%1\": its location is not a valid file path. Nothing was changed.")
                            .arg(QString::fromUtf8(encoded)));
        return std::nullopt;
    }
    return QString::fromStdString(*path);
}

} // namespace app
