#include "property.h"

#include "cli/mapped_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

const fs::path& scratchFile() {
    static const fs::path path = [] {
        std::error_code error;
        const fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        return base / ("vellumpad-fuzz-mapped-" + std::to_string(::getpid()));
    }();
    // Gone when the fuzzer ends, which it does through exit.
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code ignored;
                                          fs::remove(scratchFile(), ignored);
                                      }) == 0;
    (void)removedAtExit;
    return path;
}

} // namespace

// The input is written at the start and at the end of a sparse file of up to 16 MiB, past the steps in which memory
// is given back (8 MiB) and mapped ahead (2 MiB); the zeros between cost nothing to make. The input also gives the
// moves: after its first byte, each byte pair says how far the reader gets (reached), and a zero pair starts a
// second reading from the front. Every byte read, where the reader has got and elsewhere, must be the file's.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t total = (std::size_t{data[0]} << 16) + size;
    const std::size_t tail = total - size;
    const auto byteAt = [&](std::size_t offset) -> char {
        return offset >= tail ? input[offset - tail] : offset < size ? input[offset] : '\0';
    };
    const int fd = ::open(scratchFile().c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    require(fd >= 0 && ::ftruncate(fd, static_cast<off_t>(total)) == 0);
    require(::pwrite(fd, input.data(), size, 0) == static_cast<ssize_t>(size));
    require(::pwrite(fd, input.data(), size, static_cast<off_t>(tail)) == static_cast<ssize_t>(size));
    std::optional<cli::MappedFile> mapped = cli::MappedFile::map(fd);
    ::close(fd);
    require(mapped.has_value() && mapped->text().size() == total);
    const std::string_view text = mapped->text();
    std::size_t reached = 0;
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        const std::size_t step = (std::size_t{data[i]} << 16) + (std::size_t{data[i + 1]} << 8);
        if (step == 0) {
            mapped->readAgain();
            reached = 0;
            continue;
        }
        reached += step;
        mapped->reached(reached);
        for (const std::size_t at : {reached, reached * 7 + step, reached / 2, std::size_t{i}}) {
            require(text[at % total] == byteAt(at % total));
        }
    }
    mapped->reached(total + 1);
    require(tail < size || text.substr(0, size) == input);
    require(text.substr(tail) == input);
    mapped.reset();
    return 0;
}
