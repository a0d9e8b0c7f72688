#include "cipher/files/url_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace cipher {
namespace {

TEST(PathFromUrl, DropsTheSchemeAndPercentDecodes) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"file:///home/a/My%20Note.vpd", "/home/a/My Note.vpd"},
        {"file:///tmp/100%25.vpd", "/tmp/100%.vpd"},
        {"file:///tmp/%E5%90%8d.vpd", "/tmp/\xE5\x90\x8D.vpd"},
        {"/plain/path.vpd", "/plain/path.vpd"},
        {"x-file:///a file://b", "/a file://b"},
        {"FILE:///a", "FILE:///a"},
        {"file:///a%", std::nullopt},
        {"file:///a%zz.vpd", std::nullopt},
        {"file:///a%FF.vpd", std::nullopt},
        {"file:///a.vpd%00.txt", std::nullopt},
    };
    for (const auto& [url, path] : cases) {
        EXPECT_EQ(pathFromUrl(url), path) << url;
    }
}

} // namespace
} // namespace cipher
