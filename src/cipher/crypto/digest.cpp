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

void RunningDigest::Free::operator()(evp_md_ctx_st* ctx) const noexcept {
    EVP_MD_CTX_free(ctx);
}

std::optional<RunningDigest> RunningDigest::make() {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (ctx == nullptr) {
        return std::nullopt;
    }
    RunningDigest digest(ctx);
    if (EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    return digest;
}

bool RunningDigest::add(ByteView bytes) {
    m_failed = m_failed || EVP_DigestUpdate(m_ctx.get(), bytes.data(), bytes.size()) != 1;
    return !m_failed;
}

std::optional<RunningDigest::Value> RunningDigest::finish() {
    Value value{};
    unsigned int length = 0;
    const bool made =
        !m_failed && EVP_DigestFinal_ex(m_ctx.get(), value.data(), &length) == 1 && length == value.size();
    m_failed = true;
    return made ? std::optional<Value>(value) : std::nullopt;
}

} // namespace cipher
