#include "cli/terminal_password.h"

#include "cipher/encoding/utf8.h"
#include "cipher/files/file_io.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

namespace cli {
namespace {

// The signals that end a program typed at, or its terminal closing; each would otherwise leave the echo off.
constexpr std::array<int, 4> interrupts{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void noteSignal(int signal) {
    caughtSignal = signal;
}

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

/// Turns the terminal's echo off and catches interrupts for its lifetime. An interrupt makes the read under way
/// fail; once the echo is back on, it is delivered as it would have been.
class EchoOff {
public:
    /// error() says why the echo could not be turned off, else 0.
    explicit EchoOff(int fd) : m_fd(fd) {
        if (::tcgetattr(fd, &m_saved) != 0) {
            m_error = errno;
            return;
        }
        caughtSignal = 0;
        struct sigaction catching {};
        catching.sa_handler = noteSignal;
        sigemptyset(&catching.sa_mask);
        // No SA_RESTART: the read must return so that the echo can be restored.
        catching.sa_flags = 0;
        for (std::size_t i = 0; i < interrupts.size(); ++i) {
            ::sigaction(interrupts[i], &catching, &m_previous[i]);
        }
        m_catching = true;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        // Flushing drops what was typed before the prompt, which was shown as it was typed.
        if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
            m_error = errno;
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff() {
        if (!m_catching) {
            return;
        }
        (void)::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
        for (std::size_t i = 0; i < interrupts.size(); ++i) {
            ::sigaction(interrupts[i], &m_previous[i], nullptr);
        }
        if (caughtSignal != 0) {
            ::raise(caughtSignal);
        }
    }
    [[nodiscard]] int error() const { return m_error; }

private:
    int m_fd;
    int m_error = 0;
    bool m_catching = false;
    termios m_saved{};
    std::array<struct sigaction, interrupts.size()> m_previous{};
};

} // namespace

std::optional<TerminalPassword> TerminalPassword::open() {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    return TerminalPassword(fd);
}

TerminalPassword::TerminalPassword(TerminalPassword&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

TerminalPassword::~TerminalPassword() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Outcome<cipher::SecureBytes> TerminalPassword::ask(std::string_view prompt, std::string_view repeatPrompt) {
    // The echo stays off from the first prompt to the last, so that nothing typed ahead is ever shown.
    const EchoOff echoOff(m_fd);
    if (echoOff.error() != 0) {
        return Problem{"the terminal cannot be used: " + fileErrorWords(echoOff.error())};
    }
    Outcome<cipher::SecureBytes> password = readLine(prompt);
    if (!password || repeatPrompt.empty()) {
        return password;
    }
    const Outcome<cipher::SecureBytes> repeated = readLine(repeatPrompt);
    if (!repeated) {
        return repeated.failure();
    }
    if (repeated.value() != password.value()) {
        return Problem{"the two passwords typed differ"};
    }
    return password;
}

Outcome<cipher::SecureBytes> TerminalPassword::readLine(std::string_view prompt) {
    writeAll(m_fd, prompt);
    cipher::SecureBytes line;
    int error = 0;
    bool ended = false;
    // A byte at a time, so that nothing after the line break is taken from the terminal.
    while (error == 0) {
        if (caughtSignal != 0) {
            error = EINTR;
            break;
        }
        char c = 0;
        const ssize_t got = ::read(m_fd, &c, 1);
        if (got == 1 && c != '\n' && c != '\r') {
            line.push_back(static_cast<std::uint8_t>(c));
        } else if (got == 1) {
            break;
        } else if (got == 0) {
            ended = true;
            break;
        } else if (errno != EINTR) {
            error = errno;
        }
    }
    // The line break typed was not shown either.
    writeAll(m_fd, "\n");
    if (error == EINTR) {
        return Problem{"no password was typed: interrupted"};
    }
    if (error != 0) {
        return Problem{"the terminal cannot be read: " + fileErrorWords(error)};
    }
    if (ended) {
        return Problem{"no password was typed: the terminal's input ended"};
    }
    if (!cipher::isWellFormedUtf8(cipher::asText(line))) {
        return Problem{"the password typed is not UTF-8 text"};
    }
    return line;
}

} // namespace cli
