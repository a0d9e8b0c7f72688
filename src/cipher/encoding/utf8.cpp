#include "utf8.h"

#include "simd_x86.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace cipher {

namespace {

// What a first byte promises: the sequence length and the allowed range of the second byte (Unicode table 3-7).
// The narrowed second-byte ranges are what exclude overlong forms, surrogates and values above U+10FFFF.
struct Lead {
    std::uint8_t length; // 0: no sequence starts with this byte
    std::uint8_t secondLow;
    std::uint8_t secondHigh;
};

constexpr std::array<Lead, 256> makeLeadTable() {
    std::array<Lead, 256> table{};
    for (unsigned b = 0; b < 0x80; ++b) {
        table[b] = {1, 0, 0};
    }
    for (unsigned b = 0xC2; b <= 0xDF; ++b) {
        table[b] = {2, 0x80, 0xBF};
    }
    for (unsigned b = 0xE0; b <= 0xEF; ++b) {
        table[b] = {3, 0x80, 0xBF};
    }
    table[0xE0] = {3, 0xA0, 0xBF};
    table[0xED] = {3, 0x80, 0x9F};
    for (unsigned b = 0xF0; b <= 0xF4; ++b) {
        table[b] = {4, 0x80, 0xBF};
    }
    table[0xF0] = {4, 0x90, 0xBF};
    table[0xF4] = {4, 0x80, 0x8F};
    return table;
}

constexpr std::array<Lead, 256> leadTable = makeLeadTable();

constexpr bool isContinuation(std::uint8_t byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

// Where the scalar check takes over from the vector code, which has seen no error before `checked` but checks a
// byte against the three before it: the last byte before `checked` that is not a continuation byte, so that the
// sequence it starts, perhaps cut by `checked` or not a sequence at all, is checked again whole.
std::size_t scalarRestart(const std::uint8_t* data, std::size_t checked) noexcept {
    for (std::size_t back = 1; back <= 3 && back <= checked; ++back) {
        if (!isContinuation(data[checked - back])) {
            return checked - back;
        }
    }
    return checked;
}

} // namespace

namespace {

// How far the vector code finds the bytes well-formed, from where the scalar code must go on.
std::size_t vectorCheckedPrefix(const std::uint8_t* data, std::size_t size, Isa isa) noexcept {
#ifdef VELLUMPAD_X86
    // The vector code finds whether a block holds an error, not where; the scalar code finds the place.
    if (isa == Isa::avx2) {
        return scalarRestart(data, x86::utf8CheckedLengthAvx2(data, size));
    }
    if (isa == Isa::ssse3) {
        return scalarRestart(data, x86::utf8CheckedLengthSsse3(data, size));
    }
#else
    (void)data;
    (void)size;
    (void)isa;
#endif
    return 0;
}

// Notes are mostly ASCII: skips eight such bytes at a time.
std::size_t pastAsciiWords(const std::uint8_t* data, std::size_t pos, std::size_t size) noexcept {
    while (pos + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, data + pos, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) {
            break;
        }
        pos += 8;
    }
    return pos;
}

// The length of the well-formed sequence at pos, or 0 when none starts there.
std::size_t sequenceLength(const std::uint8_t* data, std::size_t pos, std::size_t size) noexcept {
    const Lead lead = leadTable[data[pos]];
    if (lead.length == 0 || lead.length > size - pos) {
        return 0;
    }
    if (lead.length == 1) {
        return 1;
    }
    const std::uint8_t second = data[pos + 1];
    if (second < lead.secondLow || second > lead.secondHigh) {
        return 0;
    }
    for (std::size_t i = 2; i < lead.length; ++i) {
        if (!isContinuation(data[pos + i])) {
            return 0;
        }
    }
    return lead.length;
}

} // namespace

std::size_t wellFormedUtf8PrefixLength(ByteView bytes, Isa isa) noexcept {
    const std::uint8_t* data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t pos = pastAsciiWords(data, vectorCheckedPrefix(data, size, isa), size);
    while (pos < size) {
        const std::size_t length = sequenceLength(data, pos, size);
        if (length == 0) {
            return pos;
        }
        pos = pastAsciiWords(data, pos + length, size);
    }
    return size;
}

bool isWellFormedUtf8(std::string_view text) noexcept {
    return wellFormedUtf8PrefixLength(asBytes(text)) == text.size();
}

std::string convertUInt8ToUTF(ByteView bytes) {
    return std::string(asText(bytes.first(wellFormedUtf8PrefixLength(bytes))));
}

SecureBytes utf8Bytes(std::string_view text) {
    const ByteView bytes = asBytes(text);
    return SecureBytes(bytes.begin(), bytes.end());
}

bool Utf8Checker::feed(ByteView piece) noexcept {
    if (!m_wellFormed) {
        return false;
    }
    if (m_carried != 0) {
        // The cut sequence with the first bytes of the piece: whole within four bytes, or ill-formed.
        std::uint8_t joined[7];
        const std::size_t taken = std::min<std::size_t>(piece.size(), 3);
        std::memcpy(joined, m_tail, m_carried);
        std::memcpy(joined + m_carried, piece.data(), taken);
        const std::size_t size = m_carried + taken;
        const std::size_t prefix = wellFormedUtf8PrefixLength(ByteView(joined, size));
        if (prefix < m_carried) {
            m_wellFormed = size <= 3;
            m_carried = size;
            std::memcpy(m_tail, joined, size);
            return m_wellFormed;
        }
        piece = piece.subspan(prefix - m_carried);
        m_carried = 0;
    }
    const std::size_t prefix = wellFormedUtf8PrefixLength(piece);
    const std::size_t rest = piece.size() - prefix;
    if (rest > 3) {
        m_wellFormed = false;
        return false;
    }
    std::memcpy(m_tail, piece.data() + prefix, rest);
    m_carried = rest;
    return true;
}

} // namespace cipher
