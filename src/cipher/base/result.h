#pragma once

#include <string>
#include <utility>
#include <variant>

namespace cipher {

/// The failures a caller may act on; the rest are Other.
enum class FailureKind { Other, WrongPasswordOrDamaged };

/// Why an operation failed, in plain words fit for a user (never a password or note text), and its kind.
struct Failure {
    std::string message;
    FailureKind kind = FailureKind::Other;
    /// For a failure about a named file, the cause alone in lowercase words (for example "the disk is full"), so
    /// that a caller can name the file its own way; else empty.
    std::string cause{};
};

/// A value or the failure that prevented it.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    [[nodiscard]] bool ok() const noexcept { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const noexcept { return ok(); }
    /// Only when ok().
    [[nodiscard]] T& value() & { return std::get<T>(m_state); }
    [[nodiscard]] const T& value() const& { return std::get<T>(m_state); }
    [[nodiscard]] T&& value() && { return std::get<T>(std::move(m_state)); }
    /// Only when !ok().
    [[nodiscard]] const Failure& failure() const { return std::get<Failure>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

/// Success carries nothing.
struct Done {};

} // namespace cipher
