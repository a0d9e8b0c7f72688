#include "cli/quoted_name.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

} // namespace

std::string quotedName(std::string_view name) {
    if (std::none_of(name.begin(), name.end(), isControl)) {
        return std::string(name);
    }
    std::string quoted = "$'";
    for (const char c : name) {
        switch (c) {
        case '\a':
            quoted += "\\a";
            break;
        case '\b':
            quoted += "\\b";
            break;
        case '\t':
            quoted += "\\t";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\v':
            quoted += "\\v";
            break;
        case '\f':
            quoted += "\\f";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\'':
            quoted += "\\'";
            break;
        default:
            if (isControl(c)) {
                char octal[5];
                std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(static_cast<unsigned char>(c)));
                quoted += octal;
            } else {
                quoted += c;
            }
        }
    }
    quoted += '\'';
    return quoted;
}

} // namespace cli
