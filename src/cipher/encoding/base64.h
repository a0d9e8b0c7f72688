#pragma once

#include "cipher/base/bytes.h"
#include "cpu.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cipher {

/// Base64 (RFC 4648 section 4, with "=" padding) of the bytes, broken after every 64th character by CR LF,
/// with no line break after the last character. Zero bytes give "".
[[nodiscard]] std::string base64Encode(ByteView bytes, Isa isa = bestIsa());

/// Decodes Base64, skipping every character outside the alphabet (CR, LF, blanks, anything else) up to
/// maxSkippedRun of them in a row. Otherwise strict: no value for "=" before the end, an incomplete group, missing
/// padding, non-zero padding bits or a longer run of skipped characters. A text with no alphabet characters (and
/// no longer run) gives a present, empty array.
[[nodiscard]] std::optional<Bytes> base64ToByteArray(std::string_view text, Isa isa = bestIsa());

/// The most characters outside the alphabet a text may hold in a row. A note's lines are broken by two; a longer run
/// means the text cannot be a note, which a decoder reading an endless or huge input (a device, a sparse file) then
/// says at once instead of skipping for ever.
inline constexpr std::size_t maxSkippedRun = 64 * 1024;

/// Bytes per line of base64Encode's layout, and characters per line with its CR LF.
inline constexpr std::size_t base64LineBytes = 48;
inline constexpr std::size_t base64LineChars = 66;

/// The number of characters base64Encode gives for this many bytes.
[[nodiscard]] constexpr std::size_t base64EncodedSize(std::size_t byteCount) noexcept {
    const std::size_t chars = (byteCount + 2) / 3 * 4;
    return chars == 0 ? 0 : chars + 2 * ((chars - 1) / 64);
}

/// Encodes one piece of a longer run of bytes in base64Encode's layout, at out, and returns the end. A piece that
/// is not the last must be whole lines (a multiple of base64LineBytes), each then followed by CR LF; the last piece
/// ends without a line break. Room needed: base64LineChars per line, or base64EncodedSize for the last piece.
char* base64EncodePiece(ByteView bytes, bool last, char* out, Isa isa = bestIsa()) noexcept;

/// base64ToByteArray for a text given in pieces of any size, so that a large file needs no second copy.
class Base64Decoder {
public:
    explicit Base64Decoder(Isa isa = bestIsa()) noexcept : m_isa(isa) {}

    /// The most bytes that feed writes for a piece of this many characters.
    [[nodiscard]] static constexpr std::size_t maxDecodedSize(std::size_t chars) noexcept { return chars / 4 * 3 + 3; }

    /// Decodes the next piece into out (room for maxDecodedSize of its size); the number of bytes written, or no
    /// value once the text is rejected (then and afterwards).
    [[nodiscard]] std::optional<std::size_t> feed(std::string_view piece, std::uint8_t* out) noexcept;

    /// Ends the text: writes the last bytes of a padded final group into out (room for 2); no value when the
    /// text is rejected.
    [[nodiscard]] std::optional<std::size_t> finish(std::uint8_t* out) noexcept;

private:
    // The fast paths, from the start of a group: whole groups up to the first character outside the alphabet.
    void decodeWholeGroups(const unsigned char* in, std::size_t size, std::size_t& i, std::uint8_t*& o) noexcept;
    // One character, whatever it is; sets m_failed when the text can no longer be Base64.
    void decodeCharacter(unsigned char character, std::uint8_t*& o) noexcept;

    Isa m_isa;
    bool m_failed = false;
    std::uint32_t m_group = 0;
    unsigned m_filled = 0; // alphabet characters in the current group
    unsigned m_pads = 0;
    std::size_t m_skipped = 0; // characters outside the alphabet since the last one in it
};

} // namespace cipher
