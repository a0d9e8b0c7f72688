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

// GCM is a stream mode: each chunk is encrypted or decrypted onto itself. The number of bytes done.
std::size_t runInPlace(EVP_CIPHER_CTX* ctx, std::span<std::uint8_t> bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t chunk = std::min(maxChunk, bytes.size() - pos);
        int produced = 0;
        if (EVP_CipherUpdate(ctx, bytes.data() + pos, &produced, bytes.data() + pos, static_cast<int>(chunk)) != 1) {
            break;
        }
        pos += chunk;
    }
    return pos;
}

} // namespace

std::optional<SealedBytes> SealedBytes::seal(std::span<std::uint8_t> bytes) {
    SealedBytes sealed;
    sealed.m_key.resize(keySize);
    sealed.m_size = bytes.size();
    CtxPtr ctx(EVP_CIPHER_CTX_new());
    std::uint8_t last[16];
    int produced = 0;
    if (RAND_bytes(sealed.m_key.data(), static_cast<int>(keySize)) != 1 ||
        RAND_bytes(sealed.m_nonce.data(), static_cast<int>(sealed.m_nonce.size())) != 1 || !ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, sealed.m_key.data(), sealed.m_nonce.data()) != 1) {
        return std::nullopt;
    }
    const std::size_t done = runInPlace(ctx.get(), bytes);
    if (done == bytes.size() && EVP_EncryptFinal_ex(ctx.get(), last, &produced) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(sealed.m_tag.size()),
                            sealed.m_tag.data()) == 1) {
        return sealed;
    }
    // The bytes are the owner's note: whatever was encrypted is decrypted back (the same key stream) before giving up.
    CtxPtr back(EVP_CIPHER_CTX_new());
    if (back &&
        EVP_DecryptInit_ex(back.get(), EVP_aes_256_gcm(), nullptr, sealed.m_key.data(), sealed.m_nonce.data()) == 1) {
        (void)runInPlace(back.get(), bytes.first(done));
    }
    return std::nullopt;
}

bool SealedBytes::open(std::span<std::uint8_t> bytes) const {
    CtxPtr ctx(EVP_CIPHER_CTX_new());
    std::array<std::uint8_t, 16> tag = m_tag;
    std::uint8_t last[16];
    int produced = 0;
    return bytes.size() == m_size && ctx &&
           EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, m_key.data(), m_nonce.data()) == 1 &&
           runInPlace(ctx.get(), bytes) == bytes.size() &&
           EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(tag.size()), tag.data()) == 1 &&
           EVP_DecryptFinal_ex(ctx.get(), last, &produced) == 1;
}

} // namespace cipher
