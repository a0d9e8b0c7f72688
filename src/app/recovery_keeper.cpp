#include "app/recovery_keeper.h"

#include "app/app_delegate.h"
#include "cipher/base/bytes.h"
#include "platform/failure_text.h"
#include "window/note_text_view.h"
#include "window/view_controller.h"

#include <QDateTime>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace app {

namespace {

constexpr auto defaultPause = std::chrono::seconds(3);
constexpr auto defaultLongest = std::chrono::seconds(30);
constexpr int workerNiceness = 10;

std::filesystem::path filePath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

} // namespace

RecoveryKeeper::RecoveryKeeper(window::ViewController& vc, AppDelegate& delegate, QString folder, QObject* parent)
    : QObject(parent), m_vc(vc), m_delegate(delegate), m_folder(std::move(folder)) {
    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_longest = new QTimer(this);
    m_longest->setSingleShot(true);
    setDelays(defaultPause, defaultLongest);
    connect(m_pause, &QTimer::timeout, this, &RecoveryKeeper::startCopy);
    connect(m_longest, &QTimer::timeout, this, &RecoveryKeeper::startCopy);
    connect(vc.myTextView, &window::NoteTextView::textChanged, this, &RecoveryKeeper::noteChanged);
    connect(&vc, &window::ViewController::modificationChanged, this, &RecoveryKeeper::modificationChanged);
}

RecoveryKeeper::~RecoveryKeeper() {
    removeCopy();
    if (m_worker.joinable()) {
        m_worker.join();
    }
    if (m_lock && m_slot) {
        m_lock->removeSlot(*m_slot);
    }
}

void RecoveryKeeper::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) {
        removeCopy();
    } else if (m_vc.isModified()) {
        noteChanged();
    }
}

void RecoveryKeeper::setDelays(std::chrono::milliseconds pause, std::chrono::milliseconds longest) {
    m_pause->setInterval(pause);
    m_longest->setInterval(longest);
}

QString RecoveryKeeper::slotId() const {
    return m_slot ? QString::fromStdString(m_slot->id) : QString();
}

void RecoveryKeeper::finishPendingCopy() {
    // Waiting for the copy being written may start the one a change made meanwhile is waiting for; that is waited
    // for too.
    while (m_worker.joinable()) {
        workerDone();
    }
    // The view tells of a change only once it has shown it, so a keystroke just made may not have been told yet:
    // the copy is made afresh whenever there are unsaved changes.
    if (mayCopy()) {
        startCopy();
    }
    while (m_worker.joinable()) {
        workerDone();
    }
}

void RecoveryKeeper::suspend() {
    ++m_suspended;
    if (m_pause->isActive()) {
        m_changed = true;
    }
    m_pause->stop();
    m_longest->stop();
}

void RecoveryKeeper::resume() {
    if (m_suspended > 0 && --m_suspended == 0 && m_changed) {
        noteChanged();
    }
}

void RecoveryKeeper::adopt(const cipher::RecoverySlot& slot, cipher::RecoveryLock lock) {
    removeCopy();
    if (m_worker.joinable()) {
        m_worker.join();
        m_job.reset();
        m_written.reset();
    }
    if (m_lock && m_slot) {
        m_lock->removeSlot(*m_slot);
    }
    m_slot = slot;
    m_lock = std::move(lock);
    m_aboutWritten = true;
    m_cancel.reset();
    // Copied again soon under the password Save uses now, which may not be the one the copy opened under.
    if (m_vc.isModified()) {
        noteChanged();
    }
}

bool RecoveryKeeper::mayCopy() const {
    return m_enabled && m_suspended == 0 && m_vc.isModified();
}

void RecoveryKeeper::noteChanged() {
    if (!mayCopy()) {
        m_changed = m_changed || (m_suspended > 0 && m_vc.isModified());
        return;
    }
    m_changed = true;
    m_pause->start();
    if (!m_longest->isActive()) {
        m_longest->start();
    }
}

void RecoveryKeeper::modificationChanged(bool modified) {
    if (modified) {
        noteChanged();
    } else {
        removeCopy();
    }
}

std::optional<QString> RecoveryKeeper::savePassword() const {
    return recoveryPassword(m_delegate);
}

bool RecoveryKeeper::ownSlot() {
    if (m_slot) {
        return true;
    }
    const cipher::Result<cipher::Done> made = cipher::makePrivateFolder(filePath(m_folder));
    if (!made) {
        m_vc.showNotice(
            tr("Unsaved changes cannot be kept for recovery: %1").arg(platform::FailureText::sentence(made.failure())));
        return false;
    }
    const cipher::RecoverySlot slot = cipher::recoverySlot(filePath(m_folder), cipher::newRecoverySlotId());
    std::optional<cipher::RecoveryLock> lock = cipher::RecoveryLock::claim(slot);
    if (!lock) {
        m_vc.showNotice(
            tr("Unsaved changes cannot be kept for recovery: the folder \"%1\" cannot be written.").arg(m_folder));
        return false;
    }
    m_slot = slot;
    m_lock = std::move(lock);
    m_aboutWritten = false;
    return true;
}

void RecoveryKeeper::startCopy() {
    m_pause->stop();
    m_longest->stop();
    if (!mayCopy()) {
        return;
    }
    if (m_worker.joinable()) {
        // One copy at a time; the change is copied once this one is done.
        m_changed = true;
        return;
    }
    // A password with no UTF-8 form is one Save refuses too; it must never become the key of anything. One to be
    // asked for waits until Open or Save has asked; the change is copied at the next one after that.
    const std::optional<QString> password = savePassword();
    if (!password || !QStringView(*password).isValidUtf16() || !ownSlot()) {
        m_changed = true;
        return;
    }
    m_changed = false;
    m_cancel = std::make_shared<CopyCancel>();
    m_job = std::make_unique<CopyJob>();
    m_job->slot = *m_slot;
    m_job->cancel = m_cancel;
    prepareRoom();
}

void RecoveryKeeper::prepareRoom() {
    const auto length = static_cast<std::size_t>(m_vc.isLoading() ? m_vc.noteUtf8().size() : m_vc.myTextView->length());
    // Room to grow by, so that typing while the room is made does not send the copy back for more.
    const std::size_t room = length + length / 16 + (std::size_t{64} << 10);
    m_step = Step::preparing;
    runOnWorker([job = m_job.get(), room] { app::prepareRoom(*job, room); });
}

void RecoveryKeeper::takeSnapshot() {
    if (m_job->cancel->cancelled() || !mayCopy()) {
        // Held back (suspended) rather than removed, the change is still to be copied.
        m_changed = m_changed || (!m_job->cancel->cancelled() && m_vc.isModified());
        m_job.reset();
        return;
    }
    const std::optional<QString> password = savePassword();
    if (!password || !QStringView(*password).isValidUtf16()) {
        m_changed = true;
        m_job.reset();
        return;
    }
    // The snapshot is the only work done on this thread: the note's bytes copied into room made ready for them.
    if (m_vc.isLoading()) {
        // A note still going into the view, restored and changed at once: rare, and copied the simple way.
        QByteArray note = m_vc.noteUtf8();
        const auto bytes = static_cast<std::size_t>(note.size());
        if (bytes > m_job->note.size()) {
            m_job->note.resize(bytes);
        }
        std::memcpy(m_job->note.data(), note.constData(), bytes);
        cipher::cleanse(note.data(), bytes);
        m_job->noteBytes = bytes;
    } else {
        const auto bytes = static_cast<std::size_t>(m_vc.myTextView->length());
        if (bytes > m_job->note.size()) {
            prepareRoom();
            return;
        }
        m_vc.myTextView->copyBytes(reinterpret_cast<char*>(m_job->note.data()));
        m_job->noteBytes = bytes;
    }
    m_job->about = aboutText({m_vc.filename, QDateTime::currentDateTimeUtc()});
    m_job->password = password->toStdString();
    m_job->aboutFirst = !m_aboutWritten;
    m_aboutWritten = true;
    m_step = Step::writing;
    runOnWorker([this, job = m_job.get()] { m_written = writeCopy(*job); });
}

void RecoveryKeeper::runOnWorker(std::function<void()> work) {
    m_written.reset();
    const quint64 number = ++m_copyNumber;
    m_worker = std::thread([this, work = std::move(work), number] {
        // Below the window in priority, as are the threads it starts, so that typing never waits for a copy.
        (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), workerNiceness);
        work();
        QMetaObject::invokeMethod(
            this,
            [this, number] {
                // A worker already waited for has been dealt with; this note is late.
                if (number == m_copyNumber) {
                    workerDone();
                }
            },
            Qt::QueuedConnection);
    });
}

void RecoveryKeeper::workerDone() {
    if (!m_worker.joinable()) {
        return;
    }
    m_worker.join();
    if (m_step == Step::preparing) {
        takeSnapshot();
    } else {
        copyDone();
    }
}

void RecoveryKeeper::copyDone() {
    const bool cancelled = m_job->cancel->cancelled();
    const auto noteBytes = static_cast<qsizetype>(m_job->noteBytes);
    m_job.reset();
    if (m_written && !cancelled) {
        if (m_written->ok()) {
            emit copyWritten(noteBytes);
        } else {
            m_vc.showNotice(tr("Unsaved changes could not be copied for recovery: %1")
                                .arg(platform::FailureText::sentence(m_written->failure())));
        }
    }
    m_written.reset();
    if (m_changed && mayCopy() && !m_pause->isActive()) {
        startCopy();
    }
}

void RecoveryKeeper::removeCopy() {
    m_pause->stop();
    m_longest->stop();
    m_changed = false;
    if (!m_slot) {
        return;
    }
    const cipher::RecoverySlot slot = *m_slot;
    const auto remove = [&slot] { (void)cipher::removeRecoveryFiles(slot); };
    if (m_cancel) {
        m_cancel->cancelAnd(remove);
        m_cancel.reset();
    } else {
        remove();
    }
    m_aboutWritten = false;
}

} // namespace app
