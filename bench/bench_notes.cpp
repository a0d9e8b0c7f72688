#include "bench_notes.h"

#include "cipher/base/bytes.h"
#include "cipher/encoding/utf8.h"

#include <array>
#include <random>
#include <string_view>

namespace bench {

std::string makeNote(std::size_t size, Shape shape) {
    const bool crlf = shape == Shape::CrLfLines;
    const bool oneLine = shape == Shape::OneLine || shape == Shape::AsciiLine || shape == Shape::JapaneseLine;
    static const std::array<std::string_view, 24> words{
        "the",      "note", "and",    "of", "meeting", "tomorrow", "password", "list",
        "remember", "to",   "call",   "a",  "café",    "naïve",    "Straße",   "über",
        "日本語",   "メモ", "€12.50", "😀",  "déjà vu", "Ελλάδα",   "Москва",   "42"};
    // Japanese is written without spaces between words.
    static const std::array<std::string_view, 16> japanese{
        "明日の",     "会議は", "十時から",   "です。",     "東京で",   "メモを", "書きます", "、",
        "パスワード", "を",     "忘れないで", "ください。", "日本語の", "ノート", "に",       "😀"};
    std::mt19937 random(20240611);
    std::string text;
    text.reserve(size + 256);
    std::size_t lineLength = 0;
    std::size_t target = 40 + random() % 81;
    while (text.size() < size) {
        if (shape == Shape::JapaneseLine) {
            text += japanese[random() % japanese.size()];
            continue;
        }
        if (lineLength >= target && !oneLine) {
            text += crlf ? "\r\n" : "\n";
            lineLength = 0;
            target = 40 + random() % 81;
            continue;
        }
        if (lineLength > 0) {
            text += ' ';
            ++lineLength;
        }
        std::string_view word = words[random() % words.size()];
        // The first twelve words are plain ASCII.
        if (shape == Shape::AsciiLine) {
            word = words[random() % 12];
        }
        text += word;
        lineLength += word.size();
    }
    text.resize(cipher::wellFormedUtf8PrefixLength(cipher::asBytes(std::string_view(text).substr(0, size))));
    // A line break at the cut would leave half a CR LF pair.
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

} // namespace bench
