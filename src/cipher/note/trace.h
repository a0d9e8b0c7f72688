#pragma once

#include "cipher/base/bytes.h"

#include <cstdio>
#include <string_view>

namespace cipher {

/// The step-by-step diagnostic trace of encrypt and decrypt, one item per line. It carries plaintext, so it is
/// off unless asked for: a default-constructed trace writes nothing.
class Trace {
public:
    /// A trace that writes nothing.
    Trace() = default;
    /// A trace that writes to the stream; the caller keeps the stream open for the trace's lifetime.
    explicit Trace(std::FILE* out) : m_out(out) {}
    /// Writes to standard output only when the environment variable VELLUMPAD_TRACE is exactly "1".
    [[nodiscard]] static Trace fromEnvironment();

    [[nodiscard]] bool enabled() const noexcept { return m_out != nullptr; }
    /// A label line, unchanged.
    void label(std::string_view text) const;
    /// "[1, 2, 3]": unsigned decimals joined by ", ", or "[]".
    void byteList(ByteView bytes) const;
    /// "48 bytes".
    void length(std::size_t count) const;
    /// A text line, unchanged (CR LF inside it included).
    void text(std::string_view text) const;

private:
    std::FILE* m_out = nullptr;
};

} // namespace cipher
