#include "app/disk_guard.h"

#include <QCryptographicHash>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace app {

void DiskGuard::remember(const QString& path) {
    m_path = path;
    m_snapshot = statOf(path);
    if (m_snapshot.exists) {
        m_snapshot.hash = hashOf(path);
    }
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
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    // access() lets root write anything; a file whose mode grants nobody writing was made read-only on purpose.
    if (::access(local.constData(), W_OK) != 0 ||
        (::stat(local.constData(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        return platform::OverwriteReason::ReadOnly;
    }
    if (path != m_path) {
        return std::nullopt;
    }
    if (!m_snapshot.exists) {
        return platform::OverwriteReason::ChangedOnDisk;
    }
    // Each save puts a new file in place, so an unchanged identity means unchanged text; a changed one may still
    // hold the same text (touched, or saved again unchanged), which the hash tells.
    if (now.size == m_snapshot.size && now.modifiedNs == m_snapshot.modifiedNs && now.device == m_snapshot.device &&
        now.inode == m_snapshot.inode) {
        return std::nullopt;
    }
    if (now.size == m_snapshot.size && hashOf(path) == m_snapshot.hash) {
        return std::nullopt;
    }
    return platform::OverwriteReason::ChangedOnDisk;
}

DiskGuard::Snapshot DiskGuard::statOf(const QString& path) {
    Snapshot snapshot;
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return snapshot;
    }
    snapshot.exists = true;
    snapshot.size = static_cast<std::int64_t>(info.st_size);
    snapshot.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    snapshot.device = static_cast<std::uint64_t>(info.st_dev);
    snapshot.inode = static_cast<std::uint64_t>(info.st_ino);
    return snapshot;
}

QByteArray DiskGuard::hashOf(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // An unreadable file hashes as nothing, which no readable file's text matches.
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return {};
    }
    return hash.result();
}

} // namespace app
