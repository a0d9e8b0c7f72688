#pragma once

#include "cipher/base/bytes.h"

#include <cstddef>
#include <memory>
#include <optional>

struct evp_cipher_ctx_st;

namespace cipher {

/// AES in CBC mode with PKCS#7 padding; the key length (16, 24 or 32 bytes) picks AES-128, -192 or -256.
/// No value for any other key length, an initialisation vector that is not 16 bytes, or a library failure.
[[nodiscard]] std::optional<Bytes> aesCbcEncrypt(ByteView key, ByteView iv, ByteView plain);

/// Reverses aesCbcEncrypt and strips the padding. No value for a bad key or vector length, a ciphertext that is
/// empty or not a whole number of blocks, or a last block without valid PKCS#7 padding (mostly a wrong key).
[[nodiscard]] std::optional<SecureBytes> aesCbcDecrypt(ByteView key, ByteView iv, ByteView cipherBytes);

/// aesCbcEncrypt or aesCbcDecrypt run piece by piece, so that a large note is never held twice. The library wipes
/// the key schedule when the object goes.
class CbcStream {
public:
    /// No value for a bad key or vector length (as aesCbcEncrypt) or a library failure.
    [[nodiscard]] static std::optional<CbcStream> make(ByteView key, ByteView iv, bool encrypting);

    /// Runs the next piece into out, which has room for its size plus 16 bytes (decryption holds the last block
    /// back until finish); the number of bytes written, or no value on a library failure.
    [[nodiscard]] std::optional<std::size_t> update(ByteView piece, std::uint8_t* out);

    /// Ends the run into out (room for 16): encryption writes the padded last block; decryption checks and strips
    /// the padding and gives no value for a last block without valid padding or a total that is not whole blocks.
    [[nodiscard]] std::optional<std::size_t> finish(std::uint8_t* out);

private:
    struct Free {
        void operator()(evp_cipher_ctx_st* ctx) const noexcept;
    };
    explicit CbcStream(evp_cipher_ctx_st* ctx) noexcept : m_ctx(ctx) {}
    std::unique_ptr<evp_cipher_ctx_st, Free> m_ctx;
};

} // namespace cipher
