#pragma once

/// Stops the fuzzer with a crash it reports and keeps the input of, when a checked property does not hold.
inline void require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}
