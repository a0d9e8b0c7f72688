#pragma once

#include "bytes.h"

#include <optional>

namespace cipher {

/// AES in CBC mode with PKCS#7 padding; the key length (16, 24 or 32 bytes) picks AES-128, -192 or -256.
/// No value for any other key length, an initialisation vector that is not 16 bytes, or a library failure.
[[nodiscard]] std::optional<Bytes> aesCbcEncrypt(ByteView key, ByteView iv, ByteView plain);

/// Reverses aesCbcEncrypt and strips the padding. No value for a bad key or vector length, a ciphertext that is
/// empty or not a whole number of blocks, or a last block without valid PKCS#7 padding (mostly a wrong key).
[[nodiscard]] std::optional<SecureBytes> aesCbcDecrypt(ByteView key, ByteView iv, ByteView cipherBytes);

} // namespace cipher
