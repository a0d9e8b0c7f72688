#pragma once

#include <cstddef>
#include <string>

namespace bench {

/// Lines of words (LF or CR LF), one line of the same words, one line of their ASCII ones, or one line of Japanese
/// without spaces.
enum class Shape { Lines, CrLfLines, OneLine, AsciiLine, JapaneseLine };

/// A note of size bytes (less the end of a character or a line break cut short) of the given shape, the same each
/// time: lines of 40 to 120 bytes of words as people write them, with accented letters, Greek, Cyrillic, CJK and now
/// and then an emoji.
[[nodiscard]] std::string makeNote(std::size_t size, Shape shape);

} // namespace bench
