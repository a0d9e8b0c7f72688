#include "cipher/base/core_dumps.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cstdlib>

namespace cipher {
namespace {

TEST(CoreDumps, AreTurnedOffForTheWholeProcess) {
    const auto turnedOff = [] {
        rlimit limit{};
        const bool off = disableCoreDumps() && ::getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 &&
                         limit.rlim_max == 0 && ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
        std::_Exit(off ? 0 : 1);
    };
    EXPECT_EXIT(turnedOff(), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace cipher
