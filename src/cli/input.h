#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/result.h"
#include "cipher/stream/piece_source.h"
#include "cli/problem.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

/// The kinds of named file a command reads.
enum class InputKinds {
    regularOrPipe, ///< a note or its text: a regular file, or a FIFO such as a process substitution
    regularOnly,   ///< a note rewritten in place
};

/// The most bytes a password file may hold: no password comes near it, and a device chosen by mistake is refused
/// after reading one byte more.
inline constexpr std::size_t maxPasswordFileBytes = 64 * 1024;

/// The cause, in plain words, of a failure to open or read an input ("no such file", "permission denied").
[[nodiscard]] std::string readCause(int error);

/// Opens the named input for reading; the failure is the cause only. A folder, a device, a socket (and a FIFO, for
/// regularOnly) is refused without waiting; an accepted FIFO waits for its writer, as any reader of a pipe does.
[[nodiscard]] Outcome<int> openInput(const std::string& path, InputKinds kinds);

/// How reading an input ended.
struct ReadEnd {
    int error = 0;         ///< the errno of a failed read, else 0
    bool tooLarge = false; ///< more bytes came than the limit allows
    bool notText = false;  ///< the bytes are not well-formed UTF-8 text (checked only when asked)
};

inline constexpr std::size_t noReadLimit = std::numeric_limits<std::size_t>::max();

/// Reads what the descriptor holds into bytes that are wiped on release, stopping as soon as more than limit bytes
/// came or, with textOnly, at the first piece that is not UTF-8: a device or an endless pipe costs at most the limit
/// or the text before its first bad byte, plus one piece.
ReadEnd readInto(int fd, cipher::SecureBytes& into, std::size_t limit, bool textOnly);

/// An input read a piece at a time into one buffer, wiped on release, that each read reuses: a pipe's note or file
/// text is never held whole.
class DescriptorSource final : public cipher::PieceSource {
public:
    /// Reads the descriptor, which the caller keeps open meanwhile and closes.
    explicit DescriptorSource(int fd);

    [[nodiscard]] std::optional<std::string_view> next() override;

    /// The errno of the read that failed, else 0.
    [[nodiscard]] int error() const noexcept { return m_error; }

private:
    int m_fd;
    cipher::SecureBytes m_piece;
    int m_error = 0;
};

/// Whether the descriptor and the named file (its symbolic links followed) are the same file: same device and
/// inode. False when the name does not exist.
[[nodiscard]] bool isSameFile(int fd, const std::string& path);

/// Whether the two descriptors are the same regular file.
[[nodiscard]] bool isSameRegularFile(int fd, int other);

} // namespace cli
