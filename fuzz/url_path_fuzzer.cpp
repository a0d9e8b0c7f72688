#include "property.h"

#include "cipher/base/bytes.h"
#include "cipher/encoding/utf8.h"
#include "cipher/files/url_path.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

int hexValue(char c) {
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

// The rule written out plainly, as the oracle: drop up to and including the first "file://", decode every
// "%" and two hex digits, refuse any other "%" and any result that is not UTF-8 or holds a NUL.
std::optional<std::string> plainPathFromUrl(std::string_view url) {
    constexpr std::string_view scheme = "file://";
    if (const std::size_t at = url.find(scheme); at != std::string_view::npos) {
        url.remove_prefix(at + scheme.size());
    }
    std::string path;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] != '%') {
            path += url[i];
            continue;
        }
        if (i + 2 >= url.size() || hexValue(url[i + 1]) < 0 || hexValue(url[i + 2]) < 0) {
            return std::nullopt;
        }
        path += static_cast<char>(hexValue(url[i + 1]) * 16 + hexValue(url[i + 2]));
        i += 2;
    }
    if (!cipher::isWellFormedUtf8(path) || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return path;
}

bool isUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

// A file URL as a file panel would give it: every byte escaped, or only those a URL path cannot hold.
std::string fileUrl(std::string_view path, bool escapeAll) {
    constexpr char digits[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path) {
        if (!escapeAll && isUnreserved(c)) {
            url += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        url += '%';
        url += digits[byte >> 4];
        url += digits[byte & 0x0F];
    }
    return url;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url = cipher::asText(cipher::ByteView(data, size));

    const std::optional<std::string> path = cipher::pathFromUrl(url);
    require(path == plainPathFromUrl(url));
    if (path) {
        require(cipher::isWellFormedUtf8(*path));
        require(cipher::pathFromUrl(fileUrl(*path, true)) == path);
        require(cipher::pathFromUrl(fileUrl(*path, false)) == path);
    }
    return 0;
}
