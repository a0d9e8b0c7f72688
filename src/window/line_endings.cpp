#include "window/line_endings.h"

#include <algorithm>
#include <cstring>

namespace window {

LineEnding dominantLineEnding(QByteArrayView utf8) {
    const char* const begin = utf8.data();
    const char* const end = begin + utf8.size();
    // Counting is vectorised; a note without CR, nearly every one, needs no closer look.
    const auto lfs = static_cast<qsizetype>(std::count(begin, end, '\n'));
    qsizetype crs = 0;
    qsizetype crLfs = 0;
    for (const char* cr = begin; cr != end;) {
        cr = static_cast<const char*>(std::memchr(cr, '\r', static_cast<std::size_t>(end - cr)));
        if (cr == nullptr) {
            break;
        }
        ++crs;
        ++cr;
        if (cr != end && *cr == '\n') {
            ++crLfs;
        }
    }
    const qsizetype loneLfs = lfs - crLfs;
    const qsizetype loneCrs = crs - crLfs;
    if (loneLfs >= crLfs && loneLfs >= loneCrs) {
        return LineEnding::Lf;
    }
    return crLfs >= loneCrs ? LineEnding::CrLf : LineEnding::Cr;
}

} // namespace window
