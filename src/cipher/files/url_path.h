#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cipher {

/// The file-system path of a chosen file's URL string (fully percent-encoded, as "file:///home/a/My%20Note.vpd"):
/// everything up to and including the first "file://" is dropped, the rest is percent-decoded and read as UTF-8.
/// No value for a malformed escape, decoded bytes that are not well-formed UTF-8, or a NUL ("%00").
[[nodiscard]] std::optional<std::string> pathFromUrl(std::string_view absoluteUrl);

} // namespace cipher
