#include "cpu.h"

namespace cipher {

namespace {

Isa detect() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        return Isa::avx2;
    }
    if (__builtin_cpu_supports("ssse3")) {
        return Isa::ssse3;
    }
#endif
    return Isa::scalar;
}

} // namespace

Isa bestIsa() noexcept {
    static const Isa best = detect();
    return best;
}

std::vector<Isa> availableIsas() {
    std::vector<Isa> isas;
    for (const Isa isa : {Isa::scalar, Isa::ssse3, Isa::avx2}) {
        if (isa <= bestIsa()) {
            isas.push_back(isa);
        }
    }
    return isas;
}

} // namespace cipher
