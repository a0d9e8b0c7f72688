#pragma once

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string_view>

namespace cli {

/// The tool's standard output, written a piece at a time. When it is a regular file that writing only extends
/// (after `>` or `>>`), what was written can be taken back, so the output may start before all of the input is
/// known to be good: the file is then cut back to its earlier length. Anywhere else (a pipe, a terminal, the
/// middle of a file) nothing can be taken back, and nothing may be written until the input is known to be good.
class StandardOutput {
public:
    /// Reports write failures on errors as "standard output: cannot be written: CAUSE".
    StandardOutput(std::FILE* output, std::FILE* errors);

    [[nodiscard]] bool canTakeBack() const noexcept { return m_start.has_value(); }
    /// Whether it is no regular file but a pipe, socket, terminal or device: a reader may already have taken what
    /// was written, so an output cut short by a failure is said to be incomplete; nothing in a file is overwritten.
    [[nodiscard]] bool isStream() const noexcept { return m_stream; }

    /// Writes the piece; false, reported, when it cannot be.
    [[nodiscard]] bool write(std::string_view piece);
    /// Flushes what is written; false, reported, when it cannot be.
    [[nodiscard]] bool finish();
    /// Cuts the file back to the length it had before anything was written; does nothing unless canTakeBack.
    void takeBack();

private:
    bool failed();

    std::FILE* m_output;
    std::FILE* m_errors;
    std::optional<off_t> m_start;
    bool m_stream = false;
};

} // namespace cli
