#pragma once

// Vector kernels for x86 processors, compiled for their instruction set whatever the build's flags; callers pick
// one at run time (cpu.h) and keep a scalar path for everything the kernels leave to them.

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define VELLUMPAD_X86 1

namespace cipher::x86 {

/// Encodes whole lines of 48 bytes into 64 Base64 characters each, CR LF after every line; returns the end.
char* base64EncodeLinesAvx2(const std::uint8_t* in, std::size_t lines, char* out) noexcept;
char* base64EncodeLinesSsse3(const std::uint8_t* in, std::size_t lines, char* out) noexcept;

/// Where a run of Base64 decoding stopped: characters read and bytes written.
struct DecodedRun {
    std::size_t read;
    std::size_t written;
};

/// Decodes from the start of a group while the text holds blocks of 32 (AVX2) or 16 (SSSE3) alphabet characters,
/// skipping one CR LF or LF between blocks (and before the first); stops, still at the start of a group, at anything
/// else or too near the end. Writes only whole decoded bytes, three per four characters.
DecodedRun base64DecodeRunAvx2(const unsigned char* in, std::size_t size, std::uint8_t* out) noexcept;
DecodedRun base64DecodeRunSsse3(const unsigned char* in, std::size_t size, std::uint8_t* out) noexcept;

/// A length, a multiple of 64 at most the size, before which no ill-formed UTF-8 was seen; the bytes before it
/// may still end in the first bytes of a sequence that the rest has to complete.
std::size_t utf8CheckedLengthAvx2(const std::uint8_t* data, std::size_t size) noexcept;
std::size_t utf8CheckedLengthSsse3(const std::uint8_t* data, std::size_t size) noexcept;

} // namespace cipher::x86

#endif
