#pragma once

#include "cipher/base/bytes.h"
#include "cpu.h"

#include <string>
#include <string_view>

namespace cipher {

/// Length of the longest prefix of the bytes that is well-formed UTF-8 (RFC 3629: no overlong forms,
/// no surrogates, nothing above U+10FFFF). A sequence cut short by the end is not part of the prefix.
[[nodiscard]] std::size_t wellFormedUtf8PrefixLength(ByteView bytes, Isa isa = bestIsa()) noexcept;

/// Whether every byte of the text belongs to a well-formed UTF-8 sequence.
[[nodiscard]] bool isWellFormedUtf8(std::string_view text) noexcept;

/// Checks UTF-8 given a piece at a time, pieces cut anywhere, so that a stream is refused at its first ill-formed
/// byte without being held.
class Utf8Checker {
public:
    /// The next piece; false from the first piece that is not well-formed UTF-8 (a sequence the next piece could
    /// complete excepted) and afterwards.
    [[nodiscard]] bool feed(ByteView piece) noexcept;
    /// Ends the text: whether all of it was well-formed, the end not cutting a sequence.
    [[nodiscard]] bool finish() const noexcept { return m_wellFormed && m_carried == 0; }

private:
    bool m_wellFormed = true;
    std::uint8_t m_tail[4] = {}; // the start of a sequence cut by the end of the last piece
    std::size_t m_carried = 0;
};

/// The text decoded from the bytes up to the first ill-formed sequence; the rest is dropped without a
/// replacement character. U+0000 and a leading byte-order mark are kept.
[[nodiscard]] std::string convertUInt8ToUTF(ByteView bytes);

/// The UTF-8 bytes of a text, with no byte-order mark or terminator added. Texts here are already UTF-8,
/// so this is a copy into memory that is wiped on release.
[[nodiscard]] SecureBytes utf8Bytes(std::string_view text);

} // namespace cipher
