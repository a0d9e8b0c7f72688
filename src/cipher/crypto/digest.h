#pragma once

#include "cipher/base/bytes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace cipher {

/// The 32 lowercase hexadecimal characters of the MD5 digest of the text's UTF-8 bytes, high nibble first.
/// Gives "" when the text is not well-formed UTF-8 (a text that cannot be encoded has no digest) or MD5 is missing.
[[nodiscard]] std::string md5(std::string_view text);

/// SHA-256 of bytes given a piece at a time, so that two streams can be compared without holding either.
class RunningDigest {
public:
    using Value = std::array<std::uint8_t, 32>;

    /// No value when the library cannot make one.
    [[nodiscard]] static std::optional<RunningDigest> make();

    /// Adds the next bytes; false on a library failure, then and afterwards.
    [[nodiscard]] bool add(ByteView bytes);

    /// The digest of all that was added, which ends it; no value after a library failure.
    [[nodiscard]] std::optional<Value> finish();

private:
    struct Free {
        void operator()(evp_md_ctx_st* ctx) const noexcept;
    };
    explicit RunningDigest(evp_md_ctx_st* ctx) noexcept : m_ctx(ctx) {}
    std::unique_ptr<evp_md_ctx_st, Free> m_ctx;
    bool m_failed = false;
};

} // namespace cipher
