#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/log.h"
#include "cipher/base/result.h"
#include "cipher/files/atomic_file.h"
#include "cipher/stream/piece_source.h"
#include "trace.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace cipher {

/// The whole file read as UTF-8 text, line breaks included; "" when it cannot be read or is not well-formed UTF-8.
/// Reports nothing.
[[nodiscard]] std::string readTextFile(const std::filesystem::path& path);

/// Like readTextFile, but says why a file cannot be read (notFound, noPermission, isAFolder, notText, ...).
[[nodiscard]] Result<std::string> readNoteFile(const std::filesystem::path& path);

/// readNoteFile and decryptWhole in one pass: reads the file a piece at a time and decrypts each piece as it
/// comes, so that the file text is never held whole, and stops at the first piece that shows the file is refused.
/// Fails as readNoteFile does when the file cannot be read or is not text (as far as it was read), and otherwise
/// with decryptWhole's cause; every failure names the file and the operation open. With the trace
/// on, traces what decryptWhole traces, reading a refused file to its end to tell whether it is text.
[[nodiscard]] Result<std::string> openNoteFile(const std::filesystem::path& path, std::string_view password,
                                               ByteView iv, const Trace& trace);

/// Sets the size of the pieces in which openNoteFile reads a file: 1 MiB unless set. For the fuzzer, which reaches
/// the edges of the pieces only with files a few pieces long.
void setNoteReadPieceSize(std::size_t bytes) noexcept;

/// Encrypts the note text under the password and writes the file text to path atomically, having read the
/// temporary file back and checked that it decrypts to exactly the text. Logs "Success!" or "Failed!!".
/// On failure the file at path keeps its earlier content and the failure names the path and the cause. Traces
/// what encrypt traces, the whole encryption also when the write fails before it is done. mayReplace, if given, is
/// asked just before the file is replaced (writeFileAtomically).
[[nodiscard]] Result<Done> saveEncryptedText(const std::filesystem::path& path, std::string_view text,
                                             std::string_view password, ByteView iv, const Trace& trace, Log& log,
                                             FileOps& ops = systemFileOps(), const ReplaceCheck& mayReplace = {});

/// saveEncryptedText for a note read from a source a piece at a time (a pipe), never held whole: each piece of file
/// text is encrypted, written and read back as it comes; the file as read back must be exactly the file text given
/// and must decrypt to bytes with the digest of the note the source gave. The failure's cause is notText for a note
/// that is not well-formed UTF-8, and other when the source could not be read (the source says why). Logs as
/// saveEncryptedText does; traces nothing.
[[nodiscard]] Result<Done> saveEncryptedStream(const std::filesystem::path& path, PieceSource& note,
                                               std::string_view password, ByteView iv, Log& log,
                                               FileOps& ops = systemFileOps());

} // namespace cipher
