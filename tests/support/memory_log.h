#pragma once

#include "cipher/base/log.h"

#include <string>
#include <string_view>
#include <vector>

namespace cipher {

/// Keeps the lines in memory, for checking what was logged.
class MemoryLog final : public Log {
public:
    void write(std::string_view message) override { lines.emplace_back(message); }
    std::vector<std::string> lines;
};

} // namespace cipher
