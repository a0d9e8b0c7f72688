#pragma once

#include <cstddef>
#include <string>

namespace crash {

/// The password both processes save and open under.
inline constexpr const char* password = "crash test";

/// One of the two large notes the saver alternates between (which is 0 or 1). Both processes build them the same
/// way; they differ in size and content so that a mix of the two can never pass for either.
inline std::string note(int which) {
    const std::size_t size = which == 0 ? 9'000'000 : 11'000'000;
    const std::string filler =
        which == 0 ? " the first note, plain ASCII text\n" : " la seconde note, été 名称未設定\n";
    std::string text;
    for (int line = 0; line < 1000; ++line) {
        text += std::to_string(line);
        text += filler;
    }
    // Doubling copies whole blocks, which keeps building the notes quick in a sanitizer build.
    text.reserve(2 * size);
    while (text.size() < size) {
        text.append(text);
    }
    // Cut at a line break, so that the note stays well-formed UTF-8.
    text.resize(text.rfind('\n', size) + 1);
    return text;
}

} // namespace crash
