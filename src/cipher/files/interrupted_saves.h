#pragma once

#include <initializer_list>
#include <string>

namespace cipher {

/// Notes the temporary file of a save under way for as long as it lives, so that a signal ending the program
/// meanwhile can remove it: on decrypt it holds the note in clear. A few saves may be noted at once; beyond that a
/// temporary file goes unnoted and is left for the next save into its folder to remove.
class NotedTemporary {
public:
    /// Notes the file at path, which the caller has just created.
    explicit NotedTemporary(const std::string& path) noexcept;
    NotedTemporary(const NotedTemporary&) = delete;
    NotedTemporary& operator=(const NotedTemporary&) = delete;
    /// Forgets the file.
    ~NotedTemporary();
    /// Forgets the file before it is renamed, after which its name is the note's own.
    void forget() noexcept;

private:
    int m_slot = -1;
};

/// Removes every temporary file noted now. Async-signal-safe, for a handler of a signal that ends the program.
void removeNotedTemporaries() noexcept;

/// For each signal that the program does not ignore, installs a handler that removes the noted temporary files and
/// then ends the program as the signal would have (its default action, re-raised, so that the shell reports 128 plus
/// its number).
void removeNotedTemporariesOnSignals(std::initializer_list<int> endingSignals) noexcept;

} // namespace cipher
