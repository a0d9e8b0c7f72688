#pragma once

#include <string>
#include <string_view>

namespace cipher {

/// The diagnostic log: short fixed words about saves and cipher failures, never a password or note text.
class Log {
public:
    virtual ~Log() = default;
    /// Writes one line. Must not throw.
    virtual void write(std::string_view message) = 0;
};

/// The program's log: one line on standard error, prefixed like a system log with the local date and time
/// and "program[pid]".
class StderrLog final : public Log {
public:
    explicit StderrLog(std::string programName);
    void write(std::string_view message) override;

private:
    std::string m_programName;
};

} // namespace cipher
