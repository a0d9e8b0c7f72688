#include "base64.h"

#include "simd_x86.h"

#include <array>

namespace cipher {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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

// Encodes up to one line (48 bytes); a last group of one or two bytes is padded.
char* encodeScalar(const std::uint8_t* in, std::size_t size, char* o) noexcept {
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v = std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
        o[0] = alphabet[v >> 18];
        o[1] = alphabet[(v >> 12) & 0x3F];
        o[2] = alphabet[(v >> 6) & 0x3F];
        o[3] = alphabet[v & 0x3F];
        o += 4;
    }
    if (const std::size_t rest = size - i; rest != 0) {
        const std::uint32_t v = std::uint32_t{in[i]} << 16 | (rest == 2 ? std::uint32_t{in[i + 1]} << 8 : 0U);
        o[0] = alphabet[v >> 18];
        o[1] = alphabet[(v >> 12) & 0x3F];
        o[2] = rest == 2 ? alphabet[(v >> 6) & 0x3F] : '=';
        o[3] = '=';
        o += 4;
    }
    return o;
}

// Encodes whole lines, each followed by CR LF.
char* encodeLines(const std::uint8_t* in, std::size_t lines, char* out, Isa isa) noexcept {
#ifdef VELLUMPAD_X86
    if (isa == Isa::avx2) {
        return x86::base64EncodeLinesAvx2(in, lines, out);
    }
    if (isa == Isa::ssse3) {
        return x86::base64EncodeLinesSsse3(in, lines, out);
    }
#else
    (void)isa;
#endif
    for (std::size_t line = 0; line < lines; ++line) {
        out = encodeScalar(in + line * base64LineBytes, base64LineBytes, out);
        out[0] = '\r';
        out[1] = '\n';
        out += 2;
    }
    return out;
}

} // namespace

std::string base64Encode(ByteView bytes, Isa isa) {
    std::string out(base64EncodedSize(bytes.size()), '\0');
    base64EncodePiece(bytes, true, out.data(), isa);
    return out;
}

char* base64EncodePiece(ByteView bytes, bool last, char* out, Isa isa) noexcept {
    const std::size_t size = bytes.size();
    // The final line of the last piece, whole or not, goes without a line break.
    const std::size_t brokenLines = last ? (size == 0 ? 0 : (size - 1) / base64LineBytes) : size / base64LineBytes;
    out = encodeLines(bytes.data(), brokenLines, out, isa);
    const std::size_t done = brokenLines * base64LineBytes;
    return encodeScalar(bytes.data() + done, size - done, out);
}

namespace {

// The characters outside the alphabet at the start, and at the end, of text the fast paths decoded.
std::size_t skippedAtStart(const unsigned char* text, std::size_t size) noexcept {
    std::size_t run = 0;
    while (run < size && decodeTable[text[run]] == skipValue) {
        ++run;
    }
    return run;
}

std::size_t skippedAtEnd(const unsigned char* text, std::size_t size) noexcept {
    std::size_t run = 0;
    while (run < size && decodeTable[text[size - 1 - run]] == skipValue) {
        ++run;
    }
    return run;
}

} // namespace

namespace {

// Decodes whole groups of four alphabet characters from in + i on, up to the first group that holds anything else.
void decodeGroupsScalar(const unsigned char* in, std::size_t size, std::size_t& i, std::uint8_t*& o) noexcept {
    for (; i + 4 <= size; i += 4) {
        const std::uint8_t a = decodeTable[in[i]];
        const std::uint8_t b = decodeTable[in[i + 1]];
        const std::uint8_t c = decodeTable[in[i + 2]];
        const std::uint8_t d = decodeTable[in[i + 3]];
        if ((a | b | c | d) >= 64) {
            return;
        }
        const std::uint32_t v = std::uint32_t{a} << 18 | std::uint32_t{b} << 12 | std::uint32_t{c} << 6 | d;
        o[0] = static_cast<std::uint8_t>(v >> 16);
        o[1] = static_cast<std::uint8_t>(v >> 8);
        o[2] = static_cast<std::uint8_t>(v);
        o += 3;
    }
}

} // namespace

std::optional<std::size_t> Base64Decoder::feed(std::string_view piece, std::uint8_t* out) noexcept {
    const auto* in = reinterpret_cast<const unsigned char*>(piece.data());
    const std::size_t size = piece.size();
    std::uint8_t* o = out;
    std::size_t i = 0;
    while (!m_failed && i < size) {
        if (m_filled == 0 && m_pads == 0) {
            decodeWholeGroups(in, size, i, o);
            if (m_failed || i == size) {
                break;
            }
        }
        decodeCharacter(in[i++], o);
    }
    if (m_failed) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(o - out);
}

void Base64Decoder::decodeWholeGroups(const unsigned char* in, std::size_t size, std::size_t& i,
                                      std::uint8_t*& o) noexcept {
    const std::size_t groupsFrom = i;
    const std::uint8_t* const groupsOut = o;
#ifdef VELLUMPAD_X86
    if (m_isa != Isa::scalar) {
        const x86::DecodedRun run = m_isa == Isa::avx2 ? x86::base64DecodeRunAvx2(in + i, size - i, o)
                                                       : x86::base64DecodeRunSsse3(in + i, size - i, o);
        i += run.read;
        o += run.written;
    }
#endif
    // The common case the vector code left.
    decodeGroupsScalar(in, size, i, o);
    // The fast paths also step over single line breaks between groups (a few characters at most), which continue
    // the run before the first group and start the one after the last.
    if (o == groupsOut) {
        m_skipped += i - groupsFrom;
    } else {
        m_skipped += skippedAtStart(in + groupsFrom, i - groupsFrom);
        if (m_skipped <= maxSkippedRun) {
            m_skipped = skippedAtEnd(in + groupsFrom, i - groupsFrom);
        }
    }
    m_failed = m_skipped > maxSkippedRun;
}

void Base64Decoder::decodeCharacter(unsigned char character, std::uint8_t*& o) noexcept {
    const std::uint8_t v = decodeTable[character];
    if (v == skipValue) {
        m_failed = ++m_skipped > maxSkippedRun;
        return;
    }
    m_skipped = 0;
    if (v == padValue) {
        // A pad may only stand in the third or fourth place of the final group.
        m_failed = m_filled < 2 || m_filled + ++m_pads > 4;
        return;
    }
    if (m_pads != 0) {
        m_failed = true;
        return;
    }
    m_group = m_group << 6 | v;
    if (++m_filled == 4) {
        o[0] = static_cast<std::uint8_t>(m_group >> 16);
        o[1] = static_cast<std::uint8_t>(m_group >> 8);
        o[2] = static_cast<std::uint8_t>(m_group);
        o += 3;
        m_group = 0;
        m_filled = 0;
    }
}

std::optional<std::size_t> Base64Decoder::finish(std::uint8_t* out) noexcept {
    if (m_failed) {
        return std::nullopt;
    }
    m_failed = true; // the text has ended; nothing more is decoded
    if (m_pads == 0) {
        return m_filled == 0 ? std::optional<std::size_t>(0) : std::nullopt;
    }
    if (m_filled + m_pads != 4) {
        return std::nullopt;
    }
    // Bits below the last whole byte must be zero, or two texts would decode to the same bytes.
    if (m_filled == 2) {
        if ((m_group & 0x0F) != 0) {
            return std::nullopt;
        }
        out[0] = static_cast<std::uint8_t>(m_group >> 4);
        return 1;
    }
    if ((m_group & 0x03) != 0) {
        return std::nullopt;
    }
    out[0] = static_cast<std::uint8_t>(m_group >> 10);
    out[1] = static_cast<std::uint8_t>(m_group >> 2);
    return 2;
}

std::optional<Bytes> base64ToByteArray(std::string_view text, Isa isa) {
    // Only whole groups of four produce bytes, so this bounds the output; shrinking at the end does not reallocate.
    Bytes out(Base64Decoder::maxDecodedSize(text.size()));
    Base64Decoder decoder(isa);
    const std::optional<std::size_t> body = decoder.feed(text, out.data());
    if (!body) {
        return std::nullopt;
    }
    const std::optional<std::size_t> tail = decoder.finish(out.data() + *body);
    if (!tail) {
        return std::nullopt;
    }
    out.resize(*body + *tail);
    return out;
}

} // namespace cipher
