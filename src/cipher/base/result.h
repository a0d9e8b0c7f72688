#pragma once

#include <string>
#include <utility>
#include <variant>

namespace cipher {

/// What went wrong, for a caller to act on; the words a user reads are in the failure's message.
enum class FailureCause {
    other,
    notFound,               ///< the file or a folder on its path does not exist
    noPermission,           ///< the system refused access
    notAFile,               ///< a folder, device or pipe where a regular file was wanted
    noSpace,                ///< the disk or the quota is full
    readOnly,               ///< the disk is mounted read-only
    tooLarge,               ///< too large for the file system or for memory to open
    notEnoughMemory,        ///< memory ran out
    diskError,              ///< the disk reported an input/output error
    wrongPasswordOrDamaged, ///< the file text does not decrypt to a whole note under the password
    notANote,               ///< no password can open the file text: it is no note file, or damaged beyond opening
    notText,                ///< a note or file text that is not well-formed UTF-8
    notEncrypted,           ///< the cipher failed
    readBackDiffers,        ///< a written file read back differently
    notFlushed,             ///< the file was replaced, but the folder could not be flushed
    changedMeanwhile,       ///< another program changed or replaced the file while it was being rewritten
};

/// Why an operation failed, in plain words fit for a user (never a password or note text), and its cause.
struct Failure {
    std::string message;
    FailureCause cause = FailureCause::other;
    /// For a failure about a named file, the cause alone in lowercase words (for example "the disk is full"), so
    /// that a caller can name the file its own way; else empty.
    std::string causeWords{};
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
