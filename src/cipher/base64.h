#pragma once

#include "bytes.h"

#include <optional>
#include <string>
#include <string_view>

namespace cipher {

/// Base64 (RFC 4648 section 4, with "=" padding) of the bytes, broken after every 64th character by CR LF,
/// with no line break after the last character. Zero bytes give "".
[[nodiscard]] std::string base64Encode(ByteView bytes);

/// Decodes Base64, skipping every character outside the alphabet (CR, LF, blanks, anything else).
/// Otherwise strict: no value for "=" before the end, an incomplete group, missing padding or
/// non-zero padding bits. A text with no alphabet characters gives a present, empty array.
[[nodiscard]] std::optional<Bytes> base64ToByteArray(std::string_view text);

} // namespace cipher
