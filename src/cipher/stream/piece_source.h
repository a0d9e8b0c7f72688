#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace cipher {

/// Bytes that arrive a piece at a time, a note to encrypt or a file text to decrypt: a pipe's, which are never held
/// whole, a file's, or a text held whole (TextSource).
class PieceSource {
public:
    virtual ~PieceSource() = default;
    /// The next piece, of any size, valid until the next call; empty at the end. No value when the bytes cannot be
    /// read; the source keeps why.
    [[nodiscard]] virtual std::optional<std::string_view> next() = 0;
    /// How many bytes it will give, when that is known beforehand (a regular file), else 0.
    [[nodiscard]] virtual std::size_t size() const noexcept { return 0; }
    /// All of the bytes, when they are held in memory whole (a text, a mapped file), so that they can be read where
    /// they lie, and ahead of next; else none.
    [[nodiscard]] virtual std::optional<std::string_view> held() const noexcept { return std::nullopt; }
};

/// A text held whole (a mapped file text, say), given in one piece.
class TextSource final : public PieceSource {
public:
    /// The text must outlive the source.
    explicit TextSource(std::string_view text) noexcept : m_text(text) {}
    [[nodiscard]] std::optional<std::string_view> next() override {
        return std::exchange(m_given, true) ? std::string_view() : m_text;
    }
    [[nodiscard]] std::size_t size() const noexcept override { return m_text.size(); }
    [[nodiscard]] std::optional<std::string_view> held() const noexcept override { return m_text; }

private:
    std::string_view m_text;
    bool m_given = false;
};

} // namespace cipher
