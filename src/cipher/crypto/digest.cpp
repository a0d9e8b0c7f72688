#include "digest.h"

#include "cipher/encoding/utf8.h"

#include <openssl/evp.h>

namespace cipher {

std::array<std::uint8_t, 16> md5Digest(ByteView bytes) {
    std::array<std::uint8_t, 16> digest{};
    unsigned int length = 0;
    // EVP_Digest fails only when MD5 is unavailable (a FIPS-only provider); the zero digest then stands in,
    // and md5() reports it as "" by checking the length.
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != digest.size()) {
        digest.fill(0);
    }
    return digest;
}

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
