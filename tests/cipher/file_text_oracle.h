#pragma once

#include "cipher/crypto/aes.h"
#include "cipher/crypto/note_key.h"
#include "cipher/encoding/base64.h"
#include "cipher/note/note_cipher.h"

#include <string>
#include <string_view>

namespace cipher::test {

/// The file text made the plain way, whole and with the scalar encoder: the oracle for the pieces.
inline std::string plainFileText(std::string_view note, std::string_view password) {
    return base64Encode(*aesCbcEncrypt(deriveKey(password), noteIv, asBytes(note)), Isa::scalar);
}

} // namespace cipher::test
