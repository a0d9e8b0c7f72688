#include "password_fingerprint.h"

#include "cipher/base/bytes.h"
#include "note_key.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace cipher {

std::optional<PasswordFingerprint> PasswordFingerprint::make() {
    PasswordFingerprint fingerprint;
    if (RAND_bytes(fingerprint.m_salt.data(), static_cast<int>(fingerprint.m_salt.size())) != 1) {
        return std::nullopt;
    }
    return fingerprint;
}

PasswordFingerprint::~PasswordFingerprint() {
    forget();
    cleanse(m_salt.data(), m_salt.size());
}

bool PasswordFingerprint::remember(std::string_view password) {
    const std::optional<Digest> digest = digestOf(password);
    if (!digest) {
        forget();
        return false;
    }
    m_digest = *digest;
    m_holds = true;
    return true;
}

void PasswordFingerprint::forget() noexcept {
    cleanse(m_digest.data(), m_digest.size());
    m_holds = false;
}

bool PasswordFingerprint::matches(std::string_view password) const {
    if (!m_holds) {
        return false;
    }
    const std::optional<Digest> digest = digestOf(password);
    return digest && CRYPTO_memcmp(digest->data(), m_digest.data(), m_digest.size()) == 0;
}

std::optional<PasswordFingerprint::Digest> PasswordFingerprint::digestOf(std::string_view password) const {
    // The note key rather than the password is hashed: two passwords with one key open the same notes.
    const SecureBytes key = deriveKey(password);
    if (key.empty()) {
        return std::nullopt;
    }
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    Digest digest{};
    unsigned int length = 0;
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), m_salt.data(), m_salt.size()) != 1 ||
        EVP_DigestUpdate(context.get(), key.data(), key.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size()) {
        return std::nullopt;
    }
    return digest;
}

} // namespace cipher
