#pragma once

#include "cipher/base/bytes.h"
#include "cli/problem.h"

#include <optional>
#include <string_view>

namespace cli {

/// The controlling terminal, for typing a password that neither the screen nor the process list shows.
class TerminalPassword {
public:
    /// The process's controlling terminal (/dev/tty), or nothing when it has none (cron, a detached service).
    [[nodiscard]] static std::optional<TerminalPassword> open();

    TerminalPassword(TerminalPassword&& other) noexcept;
    TerminalPassword(const TerminalPassword&) = delete;
    TerminalPassword& operator=(const TerminalPassword&) = delete;
    TerminalPassword& operator=(TerminalPassword&&) = delete;
    ~TerminalPassword();

    /// Shows the prompt on the terminal and reads one line with the echo off, less its line break. With a repeat
    /// prompt, asks a second time and fails unless both lines are the same. Fails, in lowercase words without the
    /// password, when the input ends or cannot be read or the line is not UTF-8 text. An interrupt (Ctrl+C) turns
    /// the echo back on before it takes effect.
    [[nodiscard]] Outcome<cipher::SecureBytes> ask(std::string_view prompt, std::string_view repeatPrompt = {});

private:
    explicit TerminalPassword(int fd) : m_fd(fd) {}
    /// Shows the prompt and reads one line, the echo being off already.
    Outcome<cipher::SecureBytes> readLine(std::string_view prompt);

    int m_fd;
};

} // namespace cli
