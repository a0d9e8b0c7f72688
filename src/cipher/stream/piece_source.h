#pragma once

#include <optional>
#include <string_view>

namespace cipher {

/// Bytes that arrive a piece at a time and are never held whole, such as a pipe's: a note to encrypt, or a file
/// text to decrypt.
class PieceSource {
public:
    virtual ~PieceSource() = default;
    /// The next piece, of any size, valid until the next call; empty at the end. No value when the bytes cannot be
    /// read; the source keeps why.
    [[nodiscard]] virtual std::optional<std::string_view> next() = 0;
};

} // namespace cipher
