#include "url_path.h"

#include "cipher/encoding/utf8.h"

namespace cipher {

namespace {

int hexValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<std::string> pathFromUrl(std::string_view absoluteUrl) {
    constexpr std::string_view scheme = "file://";
    if (const std::size_t at = absoluteUrl.find(scheme); at != std::string_view::npos) {
        absoluteUrl.remove_prefix(at + scheme.size());
    }
    std::string path;
    path.reserve(absoluteUrl.size());
    for (std::size_t i = 0; i < absoluteUrl.size(); ++i) {
        if (absoluteUrl[i] != '%') {
            path += absoluteUrl[i];
            continue;
        }
        if (i + 2 >= absoluteUrl.size()) {
            return std::nullopt;
        }
        const int high = hexValue(absoluteUrl[i + 1]);
        const int low = hexValue(absoluteUrl[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    // A NUL would cut the path short at the system call, so another file would be read or written than the one
    // the title names.
    if (!isWellFormedUtf8(path) || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return path;
}

} // namespace cipher
