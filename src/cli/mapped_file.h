#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <signal.h>

namespace cli {

/// A regular file's bytes mapped into memory read-only, so that a large note is neither copied nor wiped
/// afterwards. Should another process cut the file short while it is mapped, touching the lost part would raise
/// SIGBUS; while the mapping lives, that ends the program with a plain message and exit status 1 instead, removing
/// the temporary file of a save under way, so that no part of a note (plain text, on decrypt) is left behind.
/// One mapping at a time.
class MappedFile {
public:
    /// No value when the descriptor is not a non-empty regular file or cannot be mapped: the caller then reads it.
    [[nodiscard]] static std::optional<MappedFile> map(int fd);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&&) = delete;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    /// Unmaps the file and gives SIGBUS its earlier handling back.
    ~MappedFile();

    [[nodiscard]] std::string_view text() const noexcept { return {m_data, m_size}; }

    /// For a file read once from front to back: says that the work has got to offset. The memory of what lies
    /// before is given back a few megabytes at a time, instead of all at the end, where unmapping a large file
    /// takes milliseconds; and the next megabytes are mapped in ahead, so that the thread that reads them first
    /// (the cipher's, for encryption) does not stop every few pages to have them mapped. Reading anything again
    /// still works, from the file.
    void reached(std::size_t offset) noexcept;

    /// For a file read a second time from the front: reached then counts from the start again.
    void readAgain() noexcept;

private:
    MappedFile(const char* data, std::size_t size, const struct sigaction& previous) noexcept;

    const char* m_data;
    std::size_t m_size;
    std::size_t m_givenBack = 0; // bytes from the start whose memory was given back
    std::size_t m_mappedIn = 0;  // bytes from the start mapped in ahead
    struct sigaction m_previous;
};

/// The line written to standard error when the mapped input is cut short.
inline constexpr std::string_view inputCutShortMessage =
    "vellumpad-cli: the input file was cut short by another program while it was being read; stopped "
    "(a file named with -o is left as it was; standard output, if used, is incomplete)\n";

} // namespace cli
