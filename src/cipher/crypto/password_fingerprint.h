#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cipher {

/// Recognises the password a note was opened or saved with without keeping it: holds only the SHA-256 of a random
/// salt, fresh for each fingerprint object, followed by the password's note key. Wiped when forgotten or destroyed.
class PasswordFingerprint {
public:
    /// Holds nothing yet, under a fresh random salt; no value when the system gives no random bytes.
    [[nodiscard]] static std::optional<PasswordFingerprint> make();

    PasswordFingerprint(const PasswordFingerprint& other) = default;
    PasswordFingerprint& operator=(const PasswordFingerprint& other) = default;
    /// Wipes the salt and the fingerprint.
    ~PasswordFingerprint();

    /// Remembers password in place of any earlier one; false, holding nothing, when its key cannot be derived.
    [[nodiscard]] bool remember(std::string_view password);
    /// Zeroes what is held; the salt stays.
    void forget() noexcept;
    /// Whether a password is remembered.
    [[nodiscard]] bool holdsOne() const noexcept { return m_holds; }
    /// Whether password is the one remembered; false when none is, or its key cannot be derived.
    [[nodiscard]] bool matches(std::string_view password) const;

private:
    using Digest = std::array<std::uint8_t, 32>;

    PasswordFingerprint() = default;
    [[nodiscard]] std::optional<Digest> digestOf(std::string_view password) const;

    std::array<std::uint8_t, 32> m_salt{};
    Digest m_digest{};
    bool m_holds = false;
};

} // namespace cipher
