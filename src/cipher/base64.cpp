#include "base64.h"

#include <array>

namespace cipher {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t charsPerLine = 64;
constexpr std::size_t groupsPerLine = charsPerLine / 4;

constexpr std::uint8_t padValue = 64;
constexpr std::uint8_t skipValue = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(skipValue);
    for (std::uint8_t i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = i;
    }
    table['='] = padValue;
    return table;
}

constexpr std::array<std::uint8_t, 256> decodeTable = makeDecodeTable();

} // namespace

std::string base64Encode(ByteView bytes) {
    const std::size_t size = bytes.size();
    if (size == 0) {
        return {};
    }
    const std::size_t chars = (size + 2) / 3 * 4;
    const std::size_t lines = (chars + charsPerLine - 1) / charsPerLine;
    std::string out(chars + 2 * (lines - 1), '\0');

    const std::uint8_t* in = bytes.data();
    char* o = out.data();
    std::size_t i = 0;
    std::size_t groupsOnLine = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v = std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
        o[0] = alphabet[v >> 18];
        o[1] = alphabet[(v >> 12) & 0x3F];
        o[2] = alphabet[(v >> 6) & 0x3F];
        o[3] = alphabet[v & 0x3F];
        o += 4;
        // A line break only between lines, never after the last character.
        if (++groupsOnLine == groupsPerLine && i + 3 < size) {
            o[0] = '\r';
            o[1] = '\n';
            o += 2;
            groupsOnLine = 0;
        }
    }
    if (const std::size_t rest = size - i; rest != 0) {
        const std::uint32_t v = std::uint32_t{in[i]} << 16 | (rest == 2 ? std::uint32_t{in[i + 1]} << 8 : 0U);
        o[0] = alphabet[v >> 18];
        o[1] = alphabet[(v >> 12) & 0x3F];
        o[2] = rest == 2 ? alphabet[(v >> 6) & 0x3F] : '=';
        o[3] = '=';
    }
    return out;
}

std::optional<Bytes> base64ToByteArray(std::string_view text) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    // Only whole groups of four produce bytes, so this bounds the output; shrinking at the end does not reallocate.
    Bytes out(size / 4 * 3);
    std::uint8_t* o = out.data();

    std::uint32_t group = 0;
    unsigned filled = 0; // alphabet characters in the current group
    unsigned pads = 0;
    std::size_t i = 0;
    while (i < size) {
        if (filled == 0 && pads == 0 && i + 4 <= size) {
            const std::uint8_t a = decodeTable[in[i]];
            const std::uint8_t b = decodeTable[in[i + 1]];
            const std::uint8_t c = decodeTable[in[i + 2]];
            const std::uint8_t d = decodeTable[in[i + 3]];
            if ((a | b | c | d) < 64) {
                const std::uint32_t v = std::uint32_t{a} << 18 | std::uint32_t{b} << 12 | std::uint32_t{c} << 6 | d;
                o[0] = static_cast<std::uint8_t>(v >> 16);
                o[1] = static_cast<std::uint8_t>(v >> 8);
                o[2] = static_cast<std::uint8_t>(v);
                o += 3;
                i += 4;
                continue;
            }
        }
        const std::uint8_t v = decodeTable[in[i++]];
        if (v == skipValue) {
            continue;
        }
        if (v == padValue) {
            // A pad may only stand in the third or fourth place of the final group.
            if (filled < 2 || filled + ++pads > 4) {
                return std::nullopt;
            }
            continue;
        }
        if (pads != 0) {
            return std::nullopt;
        }
        group = group << 6 | v;
        if (++filled == 4) {
            o[0] = static_cast<std::uint8_t>(group >> 16);
            o[1] = static_cast<std::uint8_t>(group >> 8);
            o[2] = static_cast<std::uint8_t>(group);
            o += 3;
            group = 0;
            filled = 0;
        }
    }
    if (pads != 0) {
        if (filled + pads != 4) {
            return std::nullopt;
        }
        // Bits below the last whole byte must be zero, or two texts would decode to the same bytes.
        if (filled == 2) {
            if ((group & 0x0F) != 0) {
                return std::nullopt;
            }
            *o++ = static_cast<std::uint8_t>(group >> 4);
        } else {
            if ((group & 0x03) != 0) {
                return std::nullopt;
            }
            o[0] = static_cast<std::uint8_t>(group >> 10);
            o[1] = static_cast<std::uint8_t>(group >> 2);
            o += 2;
        }
    } else if (filled != 0) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

} // namespace cipher
