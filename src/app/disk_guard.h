#pragma once

#include "platform/prompts.h"

#include "cipher/note/note_file.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace app {

/// Remembers what the note's file held when the window last read or wrote it, so that a save never writes over
/// changes made meanwhile by another window or program, or over a file made read-only, without asking.
class DiskGuard {
public:
    /// Remembers the file at path as it is now (or that there is none). Taken before a read, so that a change
    /// during the read counts as a change.
    void remember(const QString& path);
    /// Remembers the file at path as the read that opened its note saw it, so that what is remembered is what the
    /// window shows even when the file changed during the read.
    void remember(const QString& path, const cipher::FileSnapshot& read);
    /// Forgets the remembered file: the note has none.
    void forget();
    /// What stands against writing over path now: ReadOnly when it exists and may not be written; ChangedOnDisk when
    /// it is the remembered file and holds other text than remembered (or appeared where there was none). A file
    /// that has gone away stands against nothing.
    [[nodiscard]] std::optional<platform::OverwriteReason> riskOfWriting(const QString& path) const;
    /// Whether path is the remembered file and holds other text than remembered (or appeared where there was none),
    /// whether or not it may be written; false for another path or a file that has gone away.
    [[nodiscard]] bool changedOnDisk(const QString& path) const;

private:
    /// A file's identity and content as seen at one moment.
    struct Snapshot {
        bool exists = false;
        /// Only a regular file is hashed: a pipe or a device could block the window or never end.
        bool regular = false;
        bool writable = false;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        /// The status-change time, which no program can set back.
        std::int64_t changedNs = 0;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        /// SHA-256 of the file; empty when there is none, it could not be read, or it is too large to hash quickly.
        QByteArray hash;
    };
    [[nodiscard]] static Snapshot statOf(const QString& path);
    [[nodiscard]] static QByteArray hashOf(const QString& path);

    QString m_path;
    Snapshot m_snapshot;
};

} // namespace app
