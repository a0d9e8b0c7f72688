#pragma once

#include <string>
#include <utility>
#include <variant>

namespace cipher {

/// What went wrong, for a caller to act on and for the edge (the window, the command line) to put in words.
enum class FailureCause {
    other,                  ///< an error no other cause names; the failure's systemError says which, if any
    notFound,               ///< the file (to open) or a folder on its path (to save) does not exist
    noPermission,           ///< the system refused access
    folderNotWritable,      ///< the file's folder refused a new file beside it
    isAFolder,              ///< a folder where a regular file was wanted
    notAFile,               ///< a device or pipe where a regular file was wanted
    noSpace,                ///< the disk or the quota is full
    readOnly,               ///< the disk is mounted read-only
    tooLarge,               ///< too large for the file system or for memory to open
    notEnoughMemory,        ///< memory ran out
    diskError,              ///< the disk reported an input/output error
    nameTooLong,            ///< a name on the path is longer than the file system allows
    tooManyLinks,           ///< the path has too many symbolic links
    tooManyOpenFiles,       ///< the process or the system has too many files open
    busy,                   ///< the file is in use in a way that forbids the change
    noTemporaryFile,        ///< no temporary file could be created beside the file
    unreadable,             ///< the note or file text being processed could not be read
    wrongPasswordOrDamaged, ///< the file text does not decrypt to a whole note under the password
    notANote,               ///< no password can open the file text: it is no note file, or damaged beyond opening
    notText,                ///< a note or file text that is not well-formed UTF-8
    notEncrypted,           ///< the cipher failed
    unusablePassword,       ///< the password could not be had as text (unreadable from its store, say)
    readBackDiffers,        ///< a written file read back differently
    notFlushed,             ///< the file was replaced, but the folder could not be flushed; systemError says why
    changedMeanwhile,       ///< another program changed or replaced the file while it was being rewritten
    last = changedMeanwhile,
};

/// What was being done when a failure came, so that the edge can say "could not open" or "could not save".
enum class Operation { none, open, save, remove, create, protect };

/// Why an operation failed, as facts only: the edge that knows the user's language makes the words. Never holds a
/// password or note text.
struct Failure {
    FailureCause cause = FailureCause::other;
    Operation operation = Operation::none;
    std::string path{};  ///< the file or folder concerned; empty when none is
    int systemError = 0; ///< the errno behind an `other` or `notFlushed` cause, else 0
};

/// A value or the failure that prevented it.
template <class T, class E = Failure> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    [[nodiscard]] bool ok() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }
    /// Only when ok().
    [[nodiscard]] T& value() & { return std::get<0>(m_state); }
    [[nodiscard]] const T& value() const& { return std::get<0>(m_state); }
    [[nodiscard]] T&& value() && { return std::get<0>(std::move(m_state)); }
    /// Only when !ok().
    [[nodiscard]] const E& failure() const { return std::get<1>(m_state); }

private:
    std::variant<T, E> m_state;
};

/// Success carries nothing.
struct Done {};

} // namespace cipher
