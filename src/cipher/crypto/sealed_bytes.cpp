#include "sealed_bytes.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <memory>

namespace cipher {

namespace {

// EVP counts in int; larger buffers go through in chunks.
constexpr std::size_t maxChunk = std::size_t{1} << 30;
constexpr std::size_t keySize = 32;

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const noexcept { EVP_CIPHER_CTX_free(ctx); }
};
using CtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

bool runChunks(EVP_CIPHER_CTX* ctx, ByteView input, std::uint8_t* out) {
    for (std::size_t pos = 0; pos < input.size();) {
        const std::size_t chunk = std::min(maxChunk, input.size() - pos);
        int produced = 0;
        if (EVP_CipherUpdate(ctx, out + pos, &produced, input.data() + pos, static_cast<int>(chunk)) != 1) {
            return false;
        }
        pos += chunk;
    }
    return true;
}

} // namespace

std::optional<SealedBytes> SealedBytes::seal(ByteView plain) {
    SealedBytes sealed;
    sealed.m_key.resize(keySize);
    if (RAND_bytes(sealed.m_key.data(), static_cast<int>(keySize)) != 1 ||
        RAND_bytes(sealed.m_nonce.data(), static_cast<int>(sealed.m_nonce.size())) != 1) {
        return std::nullopt;
    }
    sealed.m_sealed.resize(plain.size());
    CtxPtr ctx(EVP_CIPHER_CTX_new());
    int produced = 0;
    if (!ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, sealed.m_key.data(), sealed.m_nonce.data()) != 1 ||
        !runChunks(ctx.get(), plain, sealed.m_sealed.data()) ||
        EVP_EncryptFinal_ex(ctx.get(), sealed.m_sealed.data() + plain.size(), &produced) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(sealed.m_tag.size()),
                            sealed.m_tag.data()) != 1) {
        return std::nullopt;
    }
    return sealed;
}

std::optional<SecureBytes> SealedBytes::open() const {
    SecureBytes plain(m_sealed.size());
    CtxPtr ctx(EVP_CIPHER_CTX_new());
    std::array<std::uint8_t, 16> tag = m_tag;
    int produced = 0;
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, m_key.data(), m_nonce.data()) != 1 ||
        !runChunks(ctx.get(), m_sealed, plain.data()) ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(tag.size()), tag.data()) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), plain.data() + plain.size(), &produced) != 1) {
        return std::nullopt;
    }
    return plain;
}

} // namespace cipher
