#pragma once

#include "cipher/base/bytes.h"

#include <string_view>

namespace cipher {

/// The note key: the 32 ASCII bytes of md5(password). Empty when the password is not well-formed UTF-8,
/// which no cipher accepts.
[[nodiscard]] SecureBytes deriveKey(std::string_view password);

} // namespace cipher
