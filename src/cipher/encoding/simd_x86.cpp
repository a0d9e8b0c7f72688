#include "simd_x86.h"

#ifdef VELLUMPAD_X86

#include <immintrin.h>

#include <cstring>

// Base64 after W. Muła and D. Lemire, "Faster Base64 Encoding and Decoding Using AVX2 Instructions" (2018);
// UTF-8 after J. Keiser and D. Lemire, "Validating UTF-8 In Less Than One Instruction Per Byte" (2021).

#define VELLUMPAD_AVX2 __attribute__((target("avx2")))
#define VELLUMPAD_SSSE3 __attribute__((target("ssse3")))

namespace cipher::x86 {

namespace {

// Base64 encoding: twelve bytes per 128-bit lane become sixteen 6-bit indices, then characters.

// Spreads the three bytes of each group over four bytes as b1 b0 b2 b1, from byte `first` of the lane on.
#define VELLUMPAD_SPREAD(first)                                                                                        \
    (first) + 1, (first) + 0, (first) + 2, (first) + 1, (first) + 4, (first) + 3, (first) + 5, (first) + 4,            \
        (first) + 7, (first) + 6, (first) + 8, (first) + 7, (first) + 10, (first) + 9, (first) + 11, (first) + 10
#define VELLUMPAD_SHIFTS                                                                                               \
    'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,      \
        '+' - 62, '/' - 63, 'A', 0, 0

VELLUMPAD_AVX2 inline __m256i encodeIndicesAvx2(__m256i spread) {
    const __m256i t0 = _mm256_and_si256(spread, _mm256_set1_epi32(0x0fc0fc00));
    const __m256i t1 = _mm256_mulhi_epu16(t0, _mm256_set1_epi32(0x04000040));
    const __m256i t2 = _mm256_and_si256(spread, _mm256_set1_epi32(0x003f03f0));
    const __m256i t3 = _mm256_mullo_epi16(t2, _mm256_set1_epi32(0x01000010));
    const __m256i indices = _mm256_or_si256(t1, t3);
    // 0..25 pick shift 13 ('A'), 26..51 shift 0, 52..63 shifts 1..12.
    __m256i select = _mm256_subs_epu8(indices, _mm256_set1_epi8(51));
    const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), indices);
    select = _mm256_or_si256(select, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
    const __m256i shifts = _mm256_setr_epi8(VELLUMPAD_SHIFTS, VELLUMPAD_SHIFTS);
    return _mm256_add_epi8(_mm256_shuffle_epi8(shifts, select), indices);
}

VELLUMPAD_SSSE3 inline __m128i encodeIndicesSsse3(__m128i spread) {
    const __m128i t0 = _mm_and_si128(spread, _mm_set1_epi32(0x0fc0fc00));
    const __m128i t1 = _mm_mulhi_epu16(t0, _mm_set1_epi32(0x04000040));
    const __m128i t2 = _mm_and_si128(spread, _mm_set1_epi32(0x003f03f0));
    const __m128i t3 = _mm_mullo_epi16(t2, _mm_set1_epi32(0x01000010));
    const __m128i indices = _mm_or_si128(t1, t3);
    __m128i select = _mm_subs_epu8(indices, _mm_set1_epi8(51));
    const __m128i upper = _mm_cmpgt_epi8(_mm_set1_epi8(26), indices);
    select = _mm_or_si128(select, _mm_and_si128(upper, _mm_set1_epi8(13)));
    return _mm_add_epi8(_mm_shuffle_epi8(_mm_setr_epi8(VELLUMPAD_SHIFTS), select), indices);
}

// Base64 decoding: a character is in the alphabet when the bits its two nibbles select have nothing in common.

#define VELLUMPAD_LOW_NIBBLE_BITS                                                                                      \
    0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A
#define VELLUMPAD_HIGH_NIBBLE_BITS                                                                                     \
    0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10
// What to add to a character, by its high nibble ('/' is told from '+' apart): the 6-bit value.
#define VELLUMPAD_ROLLS 0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0
// Each 32-bit lane holds three decoded bytes, lowest first; this puts them in text order, four lanes a row.
#define VELLUMPAD_GATHER 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1

VELLUMPAD_AVX2 inline bool decodeBlockAvx2(const unsigned char* in, std::uint8_t* out) {
    const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
    const __m256i lowBits = _mm256_shuffle_epi8(_mm256_setr_epi8(VELLUMPAD_LOW_NIBBLE_BITS, VELLUMPAD_LOW_NIBBLE_BITS),
                                                _mm256_and_si256(chars, nibble));
    const __m256i highBits =
        _mm256_shuffle_epi8(_mm256_setr_epi8(VELLUMPAD_HIGH_NIBBLE_BITS, VELLUMPAD_HIGH_NIBBLE_BITS), high);
    if (!_mm256_testz_si256(lowBits, highBits)) {
        return false;
    }
    const __m256i isSlash = _mm256_cmpeq_epi8(chars, _mm256_set1_epi8('/'));
    const __m256i roll =
        _mm256_shuffle_epi8(_mm256_setr_epi8(VELLUMPAD_ROLLS, VELLUMPAD_ROLLS), _mm256_add_epi8(isSlash, high));
    const __m256i values = _mm256_add_epi8(chars, roll);
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i quads = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i rows = _mm256_shuffle_epi8(quads, _mm256_setr_epi8(VELLUMPAD_GATHER, VELLUMPAD_GATHER));
    const __m256i packed = _mm256_permutevar8x32_epi32(rows, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(packed, 1));
    return true;
}

VELLUMPAD_SSSE3 inline bool decodeBlockSsse3(const unsigned char* in, std::uint8_t* out) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi32(chars, 4), nibble);
    const __m128i lowBits = _mm_shuffle_epi8(_mm_setr_epi8(VELLUMPAD_LOW_NIBBLE_BITS), _mm_and_si128(chars, nibble));
    const __m128i highBits = _mm_shuffle_epi8(_mm_setr_epi8(VELLUMPAD_HIGH_NIBBLE_BITS), high);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(lowBits, highBits), _mm_setzero_si128())) != 0xFFFF) {
        return false;
    }
    const __m128i isSlash = _mm_cmpeq_epi8(chars, _mm_set1_epi8('/'));
    const __m128i roll = _mm_shuffle_epi8(_mm_setr_epi8(VELLUMPAD_ROLLS), _mm_add_epi8(isSlash, high));
    const __m128i values = _mm_add_epi8(chars, roll);
    const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
    const __m128i quads = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    const __m128i row = _mm_shuffle_epi8(quads, _mm_setr_epi8(VELLUMPAD_GATHER));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), row);
    const int last = _mm_cvtsi128_si32(_mm_srli_si128(row, 8));
    std::memcpy(out + 8, &last, 4);
    return true;
}

// The line breaks the decoders skip between blocks without leaving the fast path.
inline std::size_t lineBreakAt(const unsigned char* in, std::size_t left) {
    if (left >= 2 && in[0] == '\r' && in[1] == '\n') {
        return 2;
    }
    return left >= 1 && in[0] == '\n' ? 1 : 0;
}

// UTF-8: three 16-entry tables, indexed by the high and low nibble of a byte and the high nibble of the next,
// give each pair of bytes the set of errors it may show; an error is a bit set in all three.

constexpr std::uint8_t tooShort = 1 << 0;     // a lead byte followed by a lead byte or ASCII
constexpr std::uint8_t tooLong = 1 << 1;      // ASCII followed by a continuation byte
constexpr std::uint8_t overlong3 = 1 << 2;    // E0 80..9F
constexpr std::uint8_t tooLarge = 1 << 3;     // F4 90..BF, F5..FF
constexpr std::uint8_t surrogate = 1 << 4;    // ED A0..BF
constexpr std::uint8_t overlong2 = 1 << 5;    // C0, C1
constexpr std::uint8_t tooLarge1000 = 1 << 6; // F5..FF 80..8F
constexpr std::uint8_t overlong4 = 1 << 6;    // F0 80..8F
constexpr std::uint8_t twoConts = 1 << 7;     // two continuation bytes: right only as the third or fourth byte
constexpr std::uint8_t carry = tooShort | tooLong | twoConts;

alignas(16) constexpr std::uint8_t byte1HighBits[16] = {tooLong,
                                                        tooLong,
                                                        tooLong,
                                                        tooLong,
                                                        tooLong,
                                                        tooLong,
                                                        tooLong,
                                                        tooLong,
                                                        twoConts,
                                                        twoConts,
                                                        twoConts,
                                                        twoConts,
                                                        tooShort | overlong2,
                                                        tooShort,
                                                        tooShort | overlong3 | surrogate,
                                                        tooShort | tooLarge | tooLarge1000 | overlong4};
alignas(16) constexpr std::uint8_t byte1LowBits[16] = {carry | overlong3 | overlong2 | overlong4,
                                                       carry | overlong2,
                                                       carry,
                                                       carry,
                                                       carry | tooLarge,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000 | surrogate,
                                                       carry | tooLarge | tooLarge1000,
                                                       carry | tooLarge | tooLarge1000};
alignas(16) constexpr std::uint8_t byte2HighBits[16] = {tooShort,
                                                        tooShort,
                                                        tooShort,
                                                        tooShort,
                                                        tooShort,
                                                        tooShort,
                                                        tooShort,
                                                        tooShort,
                                                        tooLong | overlong2 | twoConts | overlong3 | tooLarge1000 |
                                                            overlong4,
                                                        tooLong | overlong2 | twoConts | overlong3 | tooLarge,
                                                        tooLong | overlong2 | twoConts | surrogate | tooLarge,
                                                        tooLong | overlong2 | twoConts | surrogate | tooLarge,
                                                        tooShort,
                                                        tooShort,
                                                        tooShort,
                                                        tooShort};
// Subtracted from the last bytes of a block with saturation: non-zero where a sequence starts that the block
// does not finish.
alignas(32) constexpr std::uint8_t incompleteTail[32] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,     0xFF,     0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0 - 1, 0xE0 - 1, 0xC0 - 1};

VELLUMPAD_SSSE3 inline __m128i load16(const std::uint8_t* table) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(table));
}

VELLUMPAD_AVX2 inline __m256i load16Twice(const std::uint8_t* table) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table)));
}

struct Utf8StateAvx2 {
    __m256i previous;
    __m256i previousIncomplete;
    __m256i error;
};

VELLUMPAD_AVX2 inline __m256i shiftInAvx2(__m256i input, __m256i previous, int count) {
    const __m256i carried = _mm256_permute2x128_si256(previous, input, 0x21);
    switch (count) {
    case 1:
        return _mm256_alignr_epi8(input, carried, 15);
    case 2:
        return _mm256_alignr_epi8(input, carried, 14);
    default:
        return _mm256_alignr_epi8(input, carried, 13);
    }
}

VELLUMPAD_AVX2 inline __m256i high4Avx2(__m256i v) {
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

VELLUMPAD_AVX2 inline void checkUtf8Avx2(Utf8StateAvx2& state, __m256i input) {
    const __m256i prev1 = shiftInAvx2(input, state.previous, 1);
    const __m256i byte1High = _mm256_shuffle_epi8(load16Twice(byte1HighBits), high4Avx2(prev1));
    const __m256i byte1Low =
        _mm256_shuffle_epi8(load16Twice(byte1LowBits), _mm256_and_si256(prev1, _mm256_set1_epi8(0x0F)));
    const __m256i byte2High = _mm256_shuffle_epi8(load16Twice(byte2HighBits), high4Avx2(input));
    const __m256i special = _mm256_and_si256(_mm256_and_si256(byte1High, byte1Low), byte2High);
    // Where two bytes back began a three- or four-byte sequence, or three back a four-byte one, two
    // continuation bytes in a row are required; anywhere else they are an error.
    const __m256i prev2 = shiftInAvx2(input, state.previous, 2);
    const __m256i prev3 = shiftInAvx2(input, state.previous, 3);
    const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i must = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    state.error = _mm256_or_si256(state.error, _mm256_xor_si256(must, special));
    state.previousIncomplete =
        _mm256_subs_epu8(input, _mm256_load_si256(reinterpret_cast<const __m256i*>(incompleteTail)));
    state.previous = input;
}

struct Utf8StateSsse3 {
    __m128i previous;
    __m128i previousIncomplete;
    __m128i error;
};

VELLUMPAD_SSSE3 inline __m128i high4Ssse3(__m128i v) {
    return _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0F));
}

VELLUMPAD_SSSE3 inline void checkUtf8Ssse3(Utf8StateSsse3& state, __m128i input) {
    const __m128i prev1 = _mm_alignr_epi8(input, state.previous, 15);
    const __m128i byte1High = _mm_shuffle_epi8(load16(byte1HighBits), high4Ssse3(prev1));
    const __m128i byte1Low = _mm_shuffle_epi8(load16(byte1LowBits), _mm_and_si128(prev1, _mm_set1_epi8(0x0F)));
    const __m128i byte2High = _mm_shuffle_epi8(load16(byte2HighBits), high4Ssse3(input));
    const __m128i special = _mm_and_si128(_mm_and_si128(byte1High, byte1Low), byte2High);
    const __m128i prev2 = _mm_alignr_epi8(input, state.previous, 14);
    const __m128i prev3 = _mm_alignr_epi8(input, state.previous, 13);
    const __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m128i must = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
    state.error = _mm_or_si128(state.error, _mm_xor_si128(must, special));
    state.previousIncomplete = _mm_subs_epu8(input, load16(incompleteTail + 16));
    state.previous = input;
}

} // namespace

VELLUMPAD_AVX2 char* base64EncodeLinesAvx2(const std::uint8_t* in, std::size_t lines, char* out) noexcept {
    const __m256i spreadLow = _mm256_setr_epi8(VELLUMPAD_SPREAD(0), VELLUMPAD_SPREAD(4));
    for (std::size_t line = 0; line < lines; ++line, in += 48) {
        // Each half line is read as bytes 0-15 and 8-23 of its 24, so that no load reaches past the line.
        for (std::size_t half = 0; half < 2; ++half) {
            const std::uint8_t* from = in + 24 * half;
            const __m256i bytes = _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8)),
                                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
            const __m256i chars = encodeIndicesAvx2(_mm256_shuffle_epi8(bytes, spreadLow));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), chars);
            out += 32;
        }
        out[0] = '\r';
        out[1] = '\n';
        out += 2;
    }
    return out;
}

VELLUMPAD_SSSE3 char* base64EncodeLinesSsse3(const std::uint8_t* in, std::size_t lines, char* out) noexcept {
    const __m128i spread = _mm_setr_epi8(VELLUMPAD_SPREAD(0));
    const __m128i spreadLast = _mm_setr_epi8(VELLUMPAD_SPREAD(4));
    for (std::size_t line = 0; line < lines; ++line, in += 48) {
        for (std::size_t quarter = 0; quarter < 4; ++quarter) {
            // The last quarter is read as bytes 32-47, so that no load reaches past the line.
            const bool last = quarter == 3;
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + (last ? 32 : 12 * quarter)));
            const __m128i chars = encodeIndicesSsse3(_mm_shuffle_epi8(bytes, last ? spreadLast : spread));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chars);
            out += 16;
        }
        out[0] = '\r';
        out[1] = '\n';
        out += 2;
    }
    return out;
}

VELLUMPAD_AVX2 DecodedRun base64DecodeRunAvx2(const unsigned char* in, std::size_t size, std::uint8_t* out) noexcept {
    DecodedRun run{0, 0};
    bool breakAllowed = true; // one line break at a time, so that a run of them is counted by the caller
    for (;;) {
        if (size - run.read >= 32 && decodeBlockAvx2(in + run.read, out + run.written)) {
            run.read += 32;
            run.written += 24;
            breakAllowed = true;
        } else if (const std::size_t skip = breakAllowed ? lineBreakAt(in + run.read, size - run.read) : 0; skip != 0) {
            run.read += skip;
            breakAllowed = false;
        } else {
            return run;
        }
    }
}

VELLUMPAD_SSSE3 DecodedRun base64DecodeRunSsse3(const unsigned char* in, std::size_t size, std::uint8_t* out) noexcept {
    DecodedRun run{0, 0};
    bool breakAllowed = true; // one line break at a time, so that a run of them is counted by the caller
    for (;;) {
        if (size - run.read >= 16 && decodeBlockSsse3(in + run.read, out + run.written)) {
            run.read += 16;
            run.written += 12;
            breakAllowed = true;
        } else if (const std::size_t skip = breakAllowed ? lineBreakAt(in + run.read, size - run.read) : 0; skip != 0) {
            run.read += skip;
            breakAllowed = false;
        } else {
            return run;
        }
    }
}

VELLUMPAD_AVX2 std::size_t utf8CheckedLengthAvx2(const std::uint8_t* data, std::size_t size) noexcept {
    Utf8StateAvx2 state{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    std::size_t pos = 0;
    for (; size - pos >= 64; pos += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + pos));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + pos + 32));
        if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
            // ASCII only: right unless the block before ended inside a sequence.
            state.error = _mm256_or_si256(state.error, state.previousIncomplete);
            state.previousIncomplete = _mm256_setzero_si256();
            state.previous = b;
        } else {
            checkUtf8Avx2(state, a);
            checkUtf8Avx2(state, b);
        }
        if (!_mm256_testz_si256(state.error, state.error)) {
            break;
        }
    }
    return pos;
}

VELLUMPAD_SSSE3 std::size_t utf8CheckedLengthSsse3(const std::uint8_t* data, std::size_t size) noexcept {
    Utf8StateSsse3 state{_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    std::size_t pos = 0;
    for (; size - pos >= 64; pos += 64) {
        __m128i v[4];
        for (std::size_t i = 0; i < 4; ++i) {
            v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos + 16 * i));
        }
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(v[0], v[1]), _mm_or_si128(v[2], v[3]))) == 0) {
            state.error = _mm_or_si128(state.error, state.previousIncomplete);
            state.previousIncomplete = _mm_setzero_si128();
            state.previous = v[3];
        } else {
            for (const __m128i& input : v) {
                checkUtf8Ssse3(state, input);
            }
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(state.error, _mm_setzero_si128())) != 0xFFFF) {
            break;
        }
    }
    return pos;
}

} // namespace cipher::x86

#endif
