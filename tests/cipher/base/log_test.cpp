#include "cipher/base/log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>
#include <string>

namespace cipher {
namespace {

TEST(StderrLog, WritesOneStampedLine) {
    testing::internal::CaptureStderr();
    StderrLog("vellumpad").write("Success!");
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} vellumpad\[(\d+)\] Success!\n)");
    std::smatch match;
    const std::string written = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(std::regex_match(written, match, line)) << written;
    EXPECT_EQ(match[1], std::to_string(::getpid()));
}

} // namespace
} // namespace cipher
