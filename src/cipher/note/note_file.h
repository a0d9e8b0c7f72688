#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/log.h"
#include "cipher/base/result.h"
#include "cipher/files/atomic_file.h"
#include "cipher/stream/note_format.h"
#include "cipher/stream/note_stream.h"
#include "cipher/stream/piece_source.h"
#include "trace.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace cipher {

/// The whole file read as UTF-8 text, line breaks included; "" when it cannot be read or is not well-formed UTF-8.
/// Reports nothing.
[[nodiscard]] std::string readTextFile(const std::filesystem::path& path);

/// Like readTextFile, but says why a file cannot be read (notFound, noPermission, isAFolder, notText, ...).
[[nodiscard]] Result<std::string> readNoteFile(const std::filesystem::path& path);

/// What the read that opened a note file saw of the file: its identity, size and times as it was opened, and the
/// SHA-256 of the bytes read, so that what is remembered of the file is what was shown of it.
struct FileSnapshot {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    /// The status-change time, which no program can set back.
    std::int64_t changedNs = 0;
    /// Always so for a file openNoteFile opened: it refuses anything else.
    bool regular = false;
    /// SHA-256 of the bytes read; empty when the library could not make it.
    Bytes sha256;
};

/// Opens the note file at path, reading it once, a piece at a time (openNote): the note goes to the sink as it is
/// decrypted, and the file is never held whole. Gives what the read saw of the file. Fails as readNoteFile does
/// when the file cannot be read or is not text (as far as it was read), and otherwise with decryptWhole's cause;
/// every failure names the file and the operation open, and then the sink drops what it got.
/// With the format's trace on, traces what decryptWhole traces.
[[nodiscard]] Result<FileSnapshot> openNoteFile(const std::filesystem::path& path, const NoteFormat& format,
                                                NoteSink& note);

/// openNoteFile collecting the note into one string, for a caller that holds it whole; what the read saw of the
/// file goes to seen, if given.
[[nodiscard]] Result<std::string> openNoteFile(const std::filesystem::path& path, const NoteFormat& format,
                                               FileSnapshot* seen = nullptr);

/// Sets the size of the pieces in which openNoteFile reads a file: 1 MiB unless set. For the fuzzer, which reaches
/// the edges of the pieces only with files a few pieces long.
void setNoteReadPieceSize(std::size_t bytes) noexcept;

/// Encrypts the note the source gives (a whole text, a mapped file, a pipe) under the format and writes its file text
/// to path atomically, a piece at a time: each piece is encrypted, written and read back as it comes, so that a note
/// from a pipe is never held whole; the file as read back must be exactly the file text given, and decrypt to
/// exactly the note. Logs "Success!" or "Failed!!". On failure the file at path keeps its earlier content and the
/// failure names the path and the cause: notText for a note that is not well-formed UTF-8, unreadable when the
/// source could not be read (the source says why). With the format's observer (a trace) on, traces what encrypt
/// traces (the note first when the source holds it whole), the whole encryption also when the write fails before
/// it is done. mayReplace, if given, is asked just before the file is replaced (writeFileAtomically).
[[nodiscard]] Result<Done> saveEncryptedStream(const std::filesystem::path& path, PieceSource& note,
                                               const NoteFormat& format, Log& log, FileOps& ops = systemFileOps(),
                                               const ReplaceCheck& mayReplace = {});

/// saveEncryptedStream for a note text held whole: the file at path ends up holding exactly what encrypt gives for
/// it, read back and checked.
[[nodiscard]] Result<Done> saveEncryptedText(const std::filesystem::path& path, std::string_view text,
                                             const NoteFormat& format, Log& log, FileOps& ops = systemFileOps(),
                                             const ReplaceCheck& mayReplace = {});

} // namespace cipher
