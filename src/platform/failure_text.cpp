#include "platform/failure_text.h"

#include "cipher/files/file_io.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace platform {

namespace {

using cipher::FailureCause;
using cipher::Operation;

QString systemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString FailureText::causeWords(const cipher::Failure& failure) {
    const bool opening = failure.operation == Operation::open;
    switch (failure.cause) {
    case FailureCause::other:
        return failure.systemError == 0
                   ? tr("an unexpected error occurred")
                   : tr("an unexpected error occurred (%1)").arg(systemErrorText(failure.systemError));
    case FailureCause::notFound:
        return opening ? tr("no such file") : tr("the folder does not exist");
    case FailureCause::noPermission:
        return tr("permission denied");
    case FailureCause::folderNotWritable:
        return tr("its folder \"%1\" is not writable")
            .arg(QDir::cleanPath(QFileInfo(QString::fromStdString(failure.path)).absolutePath()));
    case FailureCause::isAFolder:
        return tr("it is a folder");
    case FailureCause::notAFile:
        return tr("it is not a regular file");
    case FailureCause::noSpace:
        return tr("the disk is full");
    case FailureCause::readOnly:
        return tr("the disk is read-only");
    case FailureCause::tooLarge:
        return opening ? tr("it is too large to open") : tr("the file is too large");
    case FailureCause::notEnoughMemory:
        return tr("there is not enough memory");
    case FailureCause::diskError:
        return tr("the disk reported an input/output error");
    case FailureCause::nameTooLong:
        return tr("the name is too long");
    case FailureCause::tooManyLinks:
        return tr("the path has too many symbolic links");
    case FailureCause::tooManyOpenFiles:
        return tr("too many files are open");
    case FailureCause::busy:
        return tr("the file is busy");
    case FailureCause::noTemporaryFile:
        return tr("no temporary file could be created beside it");
    case FailureCause::unreadable:
        return opening ? tr("the file text could not be read") : tr("the note could not be read");
    case FailureCause::wrongPasswordOrDamaged:
        return tr("wrong password or damaged file");
    case FailureCause::notANote:
        return tr("not a Vellumpad note, or damaged beyond opening");
    case FailureCause::notText:
        return opening ? tr("it is not a note file (not text)") : tr("the note is not valid text");
    case FailureCause::notEncrypted:
        return tr("the note could not be encrypted");
    case FailureCause::unusablePassword:
        return tr("the stored password is unusable");
    case FailureCause::readBackDiffers:
        return tr("the saved file could not be read back correctly");
    case FailureCause::notFlushed:
        return tr("the file was replaced, but the folder could not be flushed to disk (%1)")
            .arg(causeWords(
                {cipher::causeOfFileError(failure.systemError), failure.operation, {}, failure.systemError}));
    case FailureCause::changedMeanwhile:
        return tr("it was changed by another program meanwhile");
    }
    return tr("an unexpected error occurred");
}

QString FailureText::sentence(const cipher::Failure& failure) {
    const QString path = QString::fromStdString(failure.path);
    const QString words = causeWords(failure);
    switch (failure.operation) {
    case Operation::open:
        if (failure.cause == FailureCause::wrongPasswordOrDamaged) {
            return tr("Could not open \"%1\". The note could not be decrypted: wrong password or damaged file.")
                .arg(path);
        }
        if (failure.cause == FailureCause::notANote) {
            return tr("Could not open \"%1\": it is not a Vellumpad note, or it is damaged beyond opening.").arg(path);
        }
        return tr("Could not open \"%1\": %2.").arg(path, words);
    case Operation::save:
        return tr("Could not save \"%1\": %2.").arg(path, words);
    case Operation::remove:
        return tr("Could not remove \"%1\": %2.").arg(path, words);
    case Operation::create:
        return tr("Could not create \"%1\": %2.").arg(path, words);
    case Operation::protect:
        return tr("Could not protect \"%1\": %2.").arg(path, words);
    case Operation::none:
        break;
    }
    return tr("The note could not be decrypted: %1.").arg(words);
}

} // namespace platform
