#include "app/app_delegate.h"

#include "cipher/files/url_path.h"
#include "platform/failure_text.h"
#include "window/view_controller.h"

#include <QFileInfo>
#include <QUrl>

#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace app {

AppDelegate::AppDelegate(platform::Preferences& preferences, platform::FilePanels& panels, platform::Prompts& prompts)
    : m_preferences(preferences), m_panels(panels), m_prompts(prompts) {}

QString AppDelegate::getPassword() const {
    return passwordForNote().text();
}

window::NotePassword AppDelegate::passwordForNote() const {
    platform::PasswordRead read = m_passwords.read();
    if (auto* password = std::get_if<QString>(&read)) {
        return window::NotePassword(std::move(*password));
    }
    // Not the empty password: saving under that would protect nothing. Open and Save refuse it and say why from the
    // failure kept.
    return {};
}

bool AppDelegate::setPasswordWithPass(const QString& password) {
    const std::optional<platform::KeeperFailure> failure = m_passwords.write(password);
    m_storeProblem = failure && failure->fault != platform::KeeperFault::notWritable
                         ? PasswordPlaces::describe(*failure)
                         : QString();
    emit passwordStateChanged();
    return !failure;
}

bool AppDelegate::resolveUnsavedChanges() {
    if (vc == nullptr || !vc->isModified()) {
        return true;
    }
    switch (m_prompts.askToSaveChanges(vc->window(), vc->title())) {
    case platform::UnsavedChangesChoice::Save:
        return (!m_saveCheck || m_saveCheck()) && save();
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
    // A new note has no file: a later Save asks where to put it rather than writing over the last note.
    vc->filename.clear();
    m_disk.forget();
    vc->setNoteText(QString());
    vc->setTitle(window::untitledTitle.toString());
    vc->clearProblem();
    m_passwordGuard.forget();
    emit passwordStateChanged();
}

void AppDelegate::clickOpenMenu() {
    if (vc == nullptr || !resolveUnsavedChanges()) {
        return;
    }
    const std::optional<QUrl> url = m_panels.runOpenPanel(vc->window(), startDirectory());
    if (!url) {
        return;
    }
    const std::optional<QString> path = chosenPath(*url);
    if (!path) {
        return;
    }
    m_startFolder.chose(*path);
    (void)openNote(*path);
}

void AppDelegate::openAfterAskingAboutChanges(const QString& path) {
    if (vc != nullptr && resolveUnsavedChanges()) {
        (void)openNote(path);
    }
}

bool AppDelegate::fileChangedOnDisk() const {
    return vc != nullptr && !vc->filename.isEmpty() &&
           m_disk.riskOfWriting(vc->filename) == platform::OverwriteReason::ChangedOnDisk;
}

void AppDelegate::reload() {
    if (vc != nullptr && !vc->filename.isEmpty() && resolveUnsavedChanges()) {
        (void)openNote(vc->filename);
    }
}

bool AppDelegate::openNote(const QString& path) {
    if (vc == nullptr) {
        return false;
    }
    DiskGuard read;
    read.remember(path);
    // A note that does not decrypt whole is never shown: saving a part of it would lose the rest for good.
    const cipher::Result<cipher::Done> loaded = vc->loadEncryptedText(path);
    if (!loaded) {
        if (const std::optional<QString> unusable = unusablePassword(path, loaded.failure())) {
            vc->showProblem(*unusable);
        } else {
            m_passwordRetry.showFailure(*vc, path, loaded.failure());
        }
        return false;
    }
    noteOpened(path, getPassword(), read);
    return true;
}

void AppDelegate::tryAnotherPassword() {
    if (vc == nullptr || !resolveUnsavedChanges()) {
        return;
    }
    DiskGuard read;
    read.remember(m_passwordRetry.offeredPath());
    if (const std::optional<OpenedNote> opened = m_passwordRetry.run(*vc)) {
        noteOpened(opened->path, opened->password, read);
        if (!opened->stored) {
            // The guard remembers the password that opened the note, so the next save asks before re-keying it.
            vc->showProblem(m_storeProblem.isEmpty()
                                ? tr("The note is open, but its password could not be stored: the preferences file "
                                     "cannot be written. The earlier password stays in use.")
                                : tr("The note is open, but its password could not be stored. %1 The earlier "
                                     "password stays in use.")
                                      .arg(m_storeProblem));
        }
    }
}

void AppDelegate::noteOpened(const QString& path, const QString& password, const DiskGuard& read) {
    vc->filename = path;
    m_disk = read;
    vc->setTitle(path);
    vc->clearProblem();
    vc->showNotice(tr("Opened %1").arg(path));
    m_passwordGuard.noteKeyed(password);
    emit passwordStateChanged();
    emit noteOpenedFrom(path);
}

bool AppDelegate::restoreRecoveredChanges(const QString& copyPath, const QString& notePath, const QString& password) {
    if (vc == nullptr) {
        return false;
    }
    const cipher::Result<cipher::Done> loaded = vc->loadEncryptedText(copyPath, password);
    if (!loaded) {
        vc->showProblem(tr("The unsaved changes could not be recovered: %1 The copy is kept.")
                            .arg(platform::FailureText::sentence(loaded.failure())));
        return false;
    }
    vc->filename = notePath;
    m_disk.forget();
    if (!notePath.isEmpty()) {
        // The file as it is now: the recovered text is unsaved changes over it, not over what it held before.
        m_disk.remember(notePath);
    }
    vc->setTitle(notePath.isEmpty() ? window::untitledTitle.toString() : notePath);
    vc->clearProblem();
    vc->setModified(true);
    m_passwordGuard.forget();
    if (!notePath.isEmpty()) {
        m_passwordGuard.noteKeyed(password);
    }
    emit passwordStateChanged();
    return true;
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
    return saveAs();
}

bool AppDelegate::saveAs() {
    const std::optional<QUrl> url = m_panels.runSavePanel(vc->window(), startDirectory());
    if (!url) {
        return false;
    }
    const std::optional<QString> path = chosenPath(*url);
    if (!path) {
        return false;
    }
    m_startFolder.chose(*path);
    // The panel has confirmed replacing the file as it is now, so it is remembered as it is before the write.
    DiskGuard chosen;
    chosen.remember(*path);
    if (const std::optional<bool> other = unlessWritingOver(chosen, *path)) {
        return *other;
    }
    vc->filename = *path;
    m_disk = chosen;
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
    if (const std::optional<bool> other = unlessWritingOver(m_disk, vc->filename)) {
        return *other;
    }
    return writeNote(vc->filename);
}

platform::OverwriteChoice AppDelegate::askBeforeWritingOver(const DiskGuard& guard, const QString& path) {
    const std::optional<platform::OverwriteReason> risk = guard.riskOfWriting(path);
    return risk ? m_prompts.askToOverwrite(vc->window(), path, *risk) : platform::OverwriteChoice::Overwrite;
}

std::optional<bool> AppDelegate::unlessWritingOver(const DiskGuard& guard, const QString& path) {
    switch (askBeforeWritingOver(guard, path)) {
    case platform::OverwriteChoice::Overwrite:
        return std::nullopt;
    case platform::OverwriteChoice::SaveAs:
        return saveAs();
    case platform::OverwriteChoice::Cancel:
        break;
    }
    return false;
}

bool AppDelegate::writeNote(const QString& path) {
    if (m_saveCheck && !m_saveCheck()) {
        return false;
    }
    const cipher::Result<cipher::Done> saved = vc->saveEncryptedText(path);
    if (!saved) {
        vc->showProblem(
            unusablePassword(path, saved.failure()).value_or(platform::FailureText::sentence(saved.failure())) +
            QLatin1Char(' ') + tr("The note has not been saved."));
        // The file the title names does not hold this note, so closing must still ask.
        vc->setModified(true);
        return false;
    }
    m_disk.remember(path);
    vc->setModified(false);
    vc->clearProblem();
    vc->showNotice(tr("Saved %1").arg(path));
    m_passwordGuard.noteSaved(*vc);
    emit passwordStateChanged();
    return true;
}

std::optional<QString> AppDelegate::chosenPath(const QUrl& url) {
    QUrl local = url;
    // A typed "//home/me/n.vpd" can come back as file://home/me/n.vpd, its first folder taken for a host; the path
    // rule below would then drop it and leave a path relative to wherever the program was started.
    if (url.isLocalFile() && !url.host().isEmpty()) {
        local.setPath(QLatin1Char('/') + url.host(QUrl::FullyEncoded) + url.path(QUrl::FullyEncoded),
                      QUrl::TolerantMode);
        local.setHost(QString());
    }
    const QByteArray encoded = local.toString(QUrl::FullyEncoded).toUtf8();
    const std::optional<std::string> path =
        cipher::pathFromUrl(std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())));
    // Only an absolute path names the file the user chose, wherever the program was started.
    if (!path || !path->starts_with('/')) {
        vc->showProblem(tr("Could not use \"%1\": its location is not a valid file path. Nothing was changed.")
                            .arg(url.toString(QUrl::FullyEncoded)));
        return std::nullopt;
    }
    return QString::fromStdString(*path);
}

QString AppDelegate::startDirectory() const {
    return m_startFolder.forNote(vc->filename);
}

std::optional<QString> AppDelegate::unusablePassword(const QString& path, const cipher::Failure& refused) const {
    // Asking again would put the same question to a user who has just declined it, or wait on the keyring again.
    const std::optional<platform::KeeperFailure>& failure = m_passwords.lastFailure();
    if (refused.cause != cipher::FailureCause::unusablePassword || !failure) {
        return std::nullopt;
    }
    if (failure->fault == platform::KeeperFault::unusable) {
        return tr("Could not use \"%1\": the stored password is unusable, as it is not valid text (was the preferences "
                  "file edited by hand?). Set the password again in Preferences.")
            .arg(path);
    }
    return tr("Could not use \"%1\": %2").arg(path, PasswordPlaces::describe(*failure));
}

} // namespace app
