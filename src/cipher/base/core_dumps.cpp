#include "core_dumps.h"

#include <malloc.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace cipher {

bool disableCoreDumps() noexcept {
    const rlimit none{0, 0};
    const bool noCoreFile = ::setrlimit(RLIMIT_CORE, &none) == 0;
    const bool notDumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return noCoreFile && notDumpable;
}

bool wipeFreedMemory() noexcept {
#ifdef M_PERTURB
    // glibc fills each freed heap chunk with this byte. Large buffers are mapped on their own and go back to the
    // system whole when freed, so the cost stays with small ones.
    constexpr int fill = 0x5a;
    return ::mallopt(M_PERTURB, fill) == 1;
#else
    return false;
#endif
}

} // namespace cipher
