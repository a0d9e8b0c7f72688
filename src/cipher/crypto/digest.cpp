#include "digest.h"

#include "cipher/encoding/utf8.h"

#include <openssl/evp.h>

#include <array>

namespace cipher {

std::string md5(std::string_view text) {
    if (!isWellFormedUtf8(text)) {
        return {};
    }
    std::array<std::uint8_t, 16> digest{};
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != digest.size()) {
        return {};
    }
    static constexpr char hexDigits[] = "0123456789abcdef";
    std::string hex(32, '\0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = hexDigits[digest[i] >> 4];
        hex[2 * i + 1] = hexDigits[digest[i] & 0x0F];
    }
    return hex;
}

} // namespace cipher
