#include "window/line_endings.h"

#include "cipher/bytes.h"

#include <QStringEncoder>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <string_view>

namespace window {

namespace {

bool isBreak(char16_t c) {
    // Nearly every character lies between CR and U+2029, so one comparison settles most of them.
    if (c > u'\r' && c < u'\u2029') {
        return false;
    }
    return c == u'\n' || c == u'\r' || c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1';
}

std::string_view ascii(LineEnding ending) {
    switch (ending) {
    case LineEnding::CrLf:
        return "\r\n";
    case LineEnding::Cr:
        return "\r";
    case LineEnding::Lf:
        break;
    }
    return "\n";
}

// Calls line for each run of text between line breaks and lineBreak for each break between them.
template <class Line, class Break> void forEachLine(QStringView text, Line line, Break lineBreak) {
    const char16_t* const units = text.utf16();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = units[i];
        if (!isBreak(c)) {
            continue;
        }
        line(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < size && units[i + 1] == u'\n') {
            ++i;
        }
        lineBreak();
        start = i + 1;
    }
    line(text.sliced(start));
}

} // namespace

LineEnding lineEndingOf(QStringView text) {
    if (!text.contains(u'\r')) {
        return LineEnding::Lf;
    }
    bool crLf = false;
    bool cr = false;
    bool lf = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                crLf = true;
                ++i;
            } else {
                cr = true;
            }
        } else if (text[i] == u'\n') {
            lf = true;
        }
    }
    if (crLf && !cr && !lf) {
        return LineEnding::CrLf;
    }
    if (cr && !crLf && !lf) {
        return LineEnding::Cr;
    }
    return LineEnding::Lf;
}

bool isLineBreak(QChar c) {
    return isBreak(c.unicode());
}

QString withLineEnding(QStringView text, LineEnding ending) {
    const QString lineBreak = QString::fromLatin1(ascii(ending));
    QString result;
    result.reserve(text.size());
    forEachLine(
        text, [&](QStringView line) { result.append(line); }, [&] { result.append(lineBreak); });
    return result;
}

QByteArray documentUtf8(const QTextDocument& document, LineEnding ending) {
    const std::string_view lineBreak = ascii(ending);
    QStringEncoder encoder(QStringEncoder::Utf8);
    // Every character, the line breaks included, takes at most three bytes, so the bound holds; the pages the note
    // does not fill are never touched.
    QByteArray result(encoder.requiredSpace(document.characterCount()), Qt::Uninitialized);
    char* const begin = result.data();
    char* end = begin;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) {
            end = std::copy(lineBreak.begin(), lineBreak.end(), end);
        }
        // toRawText() would be quicker, but would hold a second whole copy of the note, twice its UTF-8 size.
        QString line = block.text();
        end = encoder.appendToBuffer(end, line);
        cipher::cleanse(line.data(), static_cast<std::size_t>(line.size()) * sizeof(QChar));
    }
    result.truncate(end - begin);
    return result;
}

} // namespace window
