#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fuzz {

/// A folder of this fuzzer's own, in memory where the system has /dev/shm, made at the first call and removed when
/// the fuzzer ends. One fuzzer calls it with one name.
inline const std::filesystem::path& scratchFolder(const std::string& name) {
    namespace fs = std::filesystem;
    static const fs::path path = [&name] {
        std::error_code error;
        const fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path made = base / ("vellumpad-fuzz-" + name + "-" + std::to_string(::getpid()));
        fs::create_directories(made);
        return made;
    }();
    // The fuzzer ends through exit; registered once the path is made, so that it runs before the path is destroyed.
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code ignored;
                                          fs::remove_all(path, ignored);
                                      }) == 0;
    (void)removedAtExit;
    return path;
}

/// The whole file, or "" when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace fuzz
