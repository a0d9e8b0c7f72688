#include "cipher/note/trace.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace cipher {
namespace {

TEST(Trace, IsOffUnlessTheEnvironmentSaysExactlyOne) {
    EXPECT_FALSE(Trace().enabled());
    for (const char* value : {"", "0", "true", " 1", "1"}) {
        setenv("VELLUMPAD_TRACE", value, 1);
        EXPECT_EQ(Trace::fromEnvironment().enabled(), std::string(value) == "1") << value;
    }
    unsetenv("VELLUMPAD_TRACE");
}

} // namespace
} // namespace cipher
