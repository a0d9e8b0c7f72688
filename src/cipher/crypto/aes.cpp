#include "aes.h"

#include <openssl/evp.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace cipher {

namespace {

constexpr std::size_t blockSize = 16;
// EVP counts in int; larger buffers go through in chunks of this whole number of blocks.
constexpr std::size_t maxChunk = std::size_t{1} << 30;

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const noexcept { EVP_CIPHER_CTX_free(ctx); }
};
using CtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

const EVP_CIPHER* cbcCipherFor(std::size_t keySize) noexcept {
    switch (keySize) {
    case 16:
        return EVP_aes_128_cbc();
    case 24:
        return EVP_aes_192_cbc();
    case 32:
        return EVP_aes_256_cbc();
    default:
        return nullptr;
    }
}

CtxPtr makeContext(ByteView key, ByteView iv, bool encrypting) {
    const EVP_CIPHER* type = cbcCipherFor(key.size());
    if (type == nullptr || iv.size() != blockSize) {
        return nullptr;
    }
    CtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex(ctx.get(), type, nullptr, key.data(), iv.data(), encrypting ? 1 : 0) != 1) {
        return nullptr;
    }
    return ctx;
}

// Runs the whole input through the context and the final step; returns the bytes written or nothing.
std::optional<std::size_t> runCipher(EVP_CIPHER_CTX* ctx, ByteView input, std::uint8_t* out) {
    std::size_t written = 0;
    for (std::size_t pos = 0; pos < input.size();) {
        const std::size_t chunk = std::min(maxChunk, input.size() - pos);
        int produced = 0;
        if (EVP_CipherUpdate(ctx, out + written, &produced, input.data() + pos, static_cast<int>(chunk)) != 1) {
            return std::nullopt;
        }
        written += static_cast<std::size_t>(produced);
        pos += chunk;
    }
    int produced = 0;
    if (EVP_CipherFinal_ex(ctx, out + written, &produced) != 1) {
        return std::nullopt;
    }
    return written + static_cast<std::size_t>(produced);
}

} // namespace

void CbcStream::Free::operator()(evp_cipher_ctx_st* ctx) const noexcept {
    EVP_CIPHER_CTX_free(ctx);
}

std::optional<CbcStream> CbcStream::make(ByteView key, ByteView iv, bool encrypting) {
    CtxPtr ctx = makeContext(key, iv, encrypting);
    if (!ctx) {
        return std::nullopt;
    }
    return CbcStream(ctx.release());
}

std::optional<std::size_t> CbcStream::update(ByteView piece, std::uint8_t* out) {
    std::size_t written = 0;
    for (std::size_t pos = 0; pos < piece.size();) {
        const std::size_t chunk = std::min(maxChunk, piece.size() - pos);
        int produced = 0;
        if (EVP_CipherUpdate(m_ctx.get(), out + written, &produced, piece.data() + pos, static_cast<int>(chunk)) != 1) {
            return std::nullopt;
        }
        written += static_cast<std::size_t>(produced);
        pos += chunk;
    }
    return written;
}

std::optional<std::size_t> CbcStream::finish(std::uint8_t* out) {
    int produced = 0;
    if (EVP_CipherFinal_ex(m_ctx.get(), out, &produced) != 1) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(produced);
}

std::optional<Bytes> aesCbcEncrypt(ByteView key, ByteView iv, ByteView plain) {
    const CtxPtr ctx = makeContext(key, iv, true);
    if (!ctx) {
        return std::nullopt;
    }
    // PKCS#7 always adds 1 to 16 bytes, so the size is known exactly.
    Bytes out(plain.size() / blockSize * blockSize + blockSize);
    const auto written = runCipher(ctx.get(), plain, out.data());
    if (!written || *written != out.size()) {
        return std::nullopt;
    }
    return out;
}

std::optional<SecureBytes> aesCbcDecrypt(ByteView key, ByteView iv, ByteView cipherBytes) {
    if (cipherBytes.empty() || cipherBytes.size() % blockSize != 0) {
        return std::nullopt;
    }
    const CtxPtr ctx = makeContext(key, iv, false);
    if (!ctx) {
        return std::nullopt;
    }
    // The plaintext is never longer than the ciphertext: EVP holds back the last block until the final step.
    SecureBytes out(cipherBytes.size());
    const auto written = runCipher(ctx.get(), cipherBytes, out.data());
    if (!written) {
        return std::nullopt;
    }
    out.resize(*written);
    return out;
}

} // namespace cipher
