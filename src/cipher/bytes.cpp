#include "bytes.h"

#include <openssl/crypto.h>

namespace cipher {

void cleanse(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0) {
        OPENSSL_cleanse(data, size);
    }
}

} // namespace cipher
