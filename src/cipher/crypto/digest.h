#pragma once

#include "cipher/base/bytes.h"

#include <string>
#include <string_view>

namespace cipher {

/// The 32 lowercase hexadecimal characters of the MD5 digest of the text's UTF-8 bytes, high nibble first.
/// Gives "" when the text is not well-formed UTF-8 (a text that cannot be encoded has no digest) or MD5 is missing.
[[nodiscard]] std::string md5(std::string_view text);

} // namespace cipher
