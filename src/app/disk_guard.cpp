#include "app/disk_guard.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <memory>

#include <openssl/evp.h>

namespace app {

namespace {

// Hashing comes before a note's first screen, so a larger file goes unhashed, and any change of its identity then
// counts as a change: a needless question at worst, never a lost edit.
constexpr std::int64_t largestHashed = 16 * 1024 * 1024;

} // namespace

void DiskGuard::remember(const QString& path) {
    m_path = path;
    m_snapshot = statOf(path);
    if (m_snapshot.regular && m_snapshot.size <= largestHashed) {
        m_snapshot.hash = hashOf(path);
    }
}

void DiskGuard::remember(const QString& path, const cipher::FileSnapshot& read) {
    m_path = path;
    m_snapshot = {};
    m_snapshot.exists = true;
    m_snapshot.regular = read.regular;
    m_snapshot.size = read.size;
    m_snapshot.modifiedNs = read.modifiedNs;
    m_snapshot.changedNs = read.changedNs;
    m_snapshot.device = read.device;
    m_snapshot.inode = read.inode;
    m_snapshot.hash =
        read.sha256.empty() || read.size > largestHashed
            ? QByteArray()
            : QByteArray(reinterpret_cast<const char*>(read.sha256.data()), static_cast<qsizetype>(read.sha256.size()));
}

void DiskGuard::forget() {
    m_path.clear();
    m_snapshot = {};
}

std::optional<platform::OverwriteReason> DiskGuard::riskOfWriting(const QString& path) const {
    const Snapshot now = statOf(path);
    if (!now.exists) {
        return std::nullopt;
    }
    if (!now.writable) {
        return platform::OverwriteReason::ReadOnly;
    }
    return changedOnDisk(path) ? std::optional(platform::OverwriteReason::ChangedOnDisk) : std::nullopt;
}

bool DiskGuard::changedOnDisk(const QString& path) const {
    const Snapshot now = statOf(path);
    if (!now.exists || path != m_path) {
        return false;
    }
    if (!m_snapshot.exists) {
        return true;
    }
    // Another program may rewrite the file in place and set its modification time back, which leaves the identity,
    // size and modification time alone but not the status-change time, nor the text: the hash, when one was kept,
    // is the word on the text, whatever the times say (touched, or saved again unchanged, it is the same note).
    if (!m_snapshot.hash.isEmpty()) {
        return !now.regular || now.size != m_snapshot.size || hashOf(path) != m_snapshot.hash;
    }
    return now.size != m_snapshot.size || now.modifiedNs != m_snapshot.modifiedNs ||
           now.changedNs != m_snapshot.changedNs || now.device != m_snapshot.device || now.inode != m_snapshot.inode;
}

DiskGuard::Snapshot DiskGuard::statOf(const QString& path) {
    Snapshot snapshot;
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    if (path.isEmpty() || ::stat(local.constData(), &info) != 0) {
        return snapshot;
    }
    snapshot.exists = true;
    snapshot.regular = S_ISREG(info.st_mode);
    // access() lets root write anything; a file whose mode grants nobody writing was made read-only on purpose.
    snapshot.writable = ::access(local.constData(), W_OK) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    snapshot.size = static_cast<std::int64_t>(info.st_size);
    snapshot.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    snapshot.changedNs = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    snapshot.device = static_cast<std::uint64_t>(info.st_dev);
    snapshot.inode = static_cast<std::uint64_t>(info.st_ino);
    return snapshot;
}

QByteArray DiskGuard::hashOf(const QString& path) {
    // OpenSSL's SHA-256 uses the processor's SHA instructions, which Qt's does not.
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    // Not blocking, so that a pipe put where the file was cannot hold the window; like an unreadable file, it gives
    // no hash, which matches none.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QFile file;
    struct stat info {};
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !context ||
        EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return {};
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 total = 0;;) {
        const qint64 length = file.read(buffer.data(), buffer.size());
        total += length;
        // A file that grows while it is read is changing, and is left unhashed like a large one.
        if (length < 0 || total > largestHashed) {
            return {};
        }
        if (length == 0) {
            break;
        }
        if (EVP_DigestUpdate(context.get(), buffer.constData(), static_cast<std::size_t>(length)) != 1) {
            return {};
        }
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(digest.data()), static_cast<qsizetype>(size));
}

} // namespace app
