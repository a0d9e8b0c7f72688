#include "window/line_endings.h"

#include "cipher/bytes.h"

#include <QStringEncoder>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cstring>
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

LineEnding lineEndingOf(QByteArrayView utf8) {
    // CR and LF are never part of a longer UTF-8 sequence, so the bytes can be searched as they are.
    const char* const end = utf8.data() + utf8.size();
    qsizetype crs = 0;
    qsizetype crLfs = 0;
    for (const char* cr = utf8.data(); cr != end; ++cr) {
        cr = static_cast<const char*>(std::memchr(cr, '\r', static_cast<std::size_t>(end - cr)));
        if (cr == nullptr) {
            break;
        }
        ++crs;
        crLfs += cr + 1 != end && cr[1] == '\n' ? 1 : 0;
    }
    if (crs == 0) {
        return LineEnding::Lf;
    }
    const auto lfs = static_cast<qsizetype>(std::count(utf8.data(), end, '\n'));
    if (crLfs == crs && lfs == crs) {
        return LineEnding::CrLf;
    }
    return lfs == 0 ? LineEnding::Cr : LineEnding::Lf;
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
