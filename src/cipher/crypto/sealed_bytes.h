#pragma once

#include "cipher/base/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace cipher {

/// Bytes held only encrypted in memory: AES-256-GCM under a random key made for them and kept in this object alone
/// (in memory kept out of swap where the system allows). Nothing is ever written anywhere else.
class SealedBytes {
public:
    /// Encrypts plain under a fresh random key; no value when the system gives no random bytes or the library fails.
    /// The caller still owns plain and wipes it.
    [[nodiscard]] static std::optional<SealedBytes> seal(ByteView plain);

    /// The plain bytes again; no value when the sealed bytes were altered or the library fails.
    [[nodiscard]] std::optional<SecureBytes> open() const;
    /// The number of plain bytes held.
    [[nodiscard]] std::size_t size() const noexcept { return m_sealed.size(); }

private:
    SealedBytes() = default;

    SecureBytes m_key;
    std::array<std::uint8_t, 12> m_nonce{};
    std::array<std::uint8_t, 16> m_tag{};
    SecureBytes m_sealed;
};

} // namespace cipher
