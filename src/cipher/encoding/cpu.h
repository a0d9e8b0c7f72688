#pragma once

#include <vector>

namespace cipher {

/// The vector instruction sets the Base64 and UTF-8 code can use, from none to the widest.
enum class Isa { scalar, ssse3, avx2 };

/// The widest instruction set this processor runs; checked once.
[[nodiscard]] Isa bestIsa() noexcept;

/// Every instruction set this processor runs, scalar first; for tests and benchmarks that compare them.
[[nodiscard]] std::vector<Isa> availableIsas();

} // namespace cipher
