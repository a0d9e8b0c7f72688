#pragma once

#include "cipher/base/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace cipher {

/// Seals bytes where they lie: AES-256-GCM in place, under a random key made for them and kept in this object alone
/// (in memory kept out of swap where the system allows). The bytes themselves stay with their owner, encrypted, the
/// same length; nothing is copied or written anywhere else.
class SealedBytes {
public:
    /// Encrypts bytes in place under a fresh random key; no value, with bytes unchanged, when the system gives no
    /// random bytes or the library fails.
    [[nodiscard]] static std::optional<SealedBytes> seal(std::span<std::uint8_t> bytes);

    /// Decrypts bytes, the ones sealed, in place. False when they are not those bytes (another length, or altered)
    /// or the library fails; what they then hold is of no use.
    [[nodiscard]] bool open(std::span<std::uint8_t> bytes) const;
    /// The number of bytes sealed.
    [[nodiscard]] std::size_t size() const noexcept { return m_size; }

private:
    SealedBytes() = default;

    SecureBytes m_key;
    std::array<std::uint8_t, 12> m_nonce{};
    std::array<std::uint8_t, 16> m_tag{};
    std::size_t m_size = 0;
};

} // namespace cipher
