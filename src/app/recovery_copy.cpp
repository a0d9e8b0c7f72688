#include "app/recovery_copy.h"

#include "cipher/base/bytes.h"
#include "cipher/base/log.h"
#include "cipher/files/atomic_file.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"

#include "app/app_delegate.h"

#include <QDir>

#include <cerrno>
#include <cstring>

namespace app {

namespace {

// A copy is no save: "Success!" in the log would tell of a save the user never made.
class SilentLog final : public cipher::Log {
public:
    void write(std::string_view) override {}
};

class CancellableOps final : public cipher::FileOps {
public:
    explicit CancellableOps(CopyCancel& cancel) : m_cancel(cancel) {}
    int rename(const std::string& from, const std::string& to) override {
        const int renamed = m_cancel.renameUnlessCancelled([&] { return cipher::FileOps::rename(from, to); });
        if (renamed != 0 && m_cancel.cancelled()) {
            errno = ECANCELED;
        }
        return renamed;
    }

private:
    CopyCancel& m_cancel;
};

cipher::Result<cipher::Done> writeNoteFile(const std::filesystem::path& path, std::string_view text,
                                           std::string_view password, cipher::FileOps& ops) {
    SilentLog log;
    // Never traced: the trace carries the note in plain text.
    return cipher::saveEncryptedText(path, text, cipher::NoteFormat(password), log, ops);
}

} // namespace

QString recoveryFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/vellumpad/recovery");
}

std::optional<QString> recoveryPassword(AppDelegate& delegate) {
    PasswordPlaces& places = delegate.passwordPlaces();
    if (places.place() == platform::PasswordPlace::nowhere && !places.asked().holdsOne()) {
        return std::nullopt;
    }
    const window::NotePassword password = delegate.passwordForNote();
    return password.usable() ? std::optional<QString>(password.text()) : std::nullopt;
}

std::string aboutText(const RecoveryAbout& about) {
    return about.time.toUTC().toString(Qt::ISODateWithMs).toStdString() + '\n' + about.path.toStdString();
}

std::optional<RecoveryAbout> parseAbout(std::string_view text) {
    const std::size_t lineEnd = text.find('\n');
    if (lineEnd == std::string_view::npos) {
        return std::nullopt;
    }
    const QDateTime time =
        QDateTime::fromString(QString::fromUtf8(text.data(), static_cast<qsizetype>(lineEnd)), Qt::ISODateWithMs);
    if (!time.isValid()) {
        return std::nullopt;
    }
    const std::string_view path = text.substr(lineEnd + 1);
    return RecoveryAbout{QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())), time};
}

void prepareRoom(CopyJob& job, std::size_t bytes) {
    job.note.resize(bytes);
    std::memset(job.note.data(), 0, job.note.size());
}

cipher::Result<cipher::Done> writeCopy(CopyJob& job) {
    CancellableOps ops(*job.cancel);
    const std::string_view note = cipher::asText(cipher::ByteView(job.note).first(job.noteBytes));
    cipher::Result<cipher::Done> written = cipher::Done{};
    if (job.aboutFirst) {
        written = writeNoteFile(job.slot.about, job.about, job.password, ops);
    }
    if (written) {
        written = writeNoteFile(job.slot.copy, note, job.password, ops);
    }
    if (written && !job.aboutFirst) {
        written = writeNoteFile(job.slot.about, job.about, job.password, ops);
    }
    // Wiped and freed here rather than on the window's thread, for which wiping a large note is a pause.
    cipher::SecureBytes().swap(job.note);
    cipher::cleanse(job.password.data(), job.password.size());
    cipher::cleanse(job.about.data(), job.about.size());
    return written;
}

} // namespace app
