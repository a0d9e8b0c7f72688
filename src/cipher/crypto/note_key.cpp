#include "note_key.h"

#include "digest.h"

#include <string>

namespace cipher {

SecureBytes deriveKey(std::string_view password) {
    std::string hex = md5(password);
    SecureBytes key(hex.begin(), hex.end());
    cleanse(hex.data(), hex.size());
    return key;
}

} // namespace cipher
