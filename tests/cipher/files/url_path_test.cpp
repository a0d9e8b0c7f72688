#include "cipher/files/url_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace cipher {
namespace {

// Written from the rule, not from the code: drop everything up to and including the first "file://", then
// percent-decode; a malformed escape, bytes that are not UTF-8 or a NUL give no path.
TEST(PathFromUrl, FollowsTheRuleForEachKindOfUrl) {
    struct Case {
        const char* url;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"file:///home/a/My%20Note.vpd", "/home/a/My Note.vpd"},
        {"file:///home/a/100%25.vpd", "/home/a/100%.vpd"},
        {"file:///home/a/%C3%A9t%C3%A9.vpd", "/home/a/été.vpd"},
        {"file:///home/a/%e6%97%a5.vpd", "/home/a/日.vpd"}, // lower-case hex digits
        {"file:///home/a/日記.vpd", "/home/a/日記.vpd"},    // not escaped at all
        {"file://host/share/n.vpd", "host/share/n.vpd"},    // the host is not special
        {"x-file:///a.vpd", "/a.vpd"},                      // anything before the first one goes too
        {"file:///a/file:///b.vpd", "/a/file:///b.vpd"},    // only the first one is dropped
        {"FILE:///a.vpd", "FILE:///a.vpd"},                 // the match is case-sensitive
        {"/plain/path.vpd", "/plain/path.vpd"},             // no scheme: the whole string
        {"", ""},
        {"file://", ""},
        {"file:///a%2Fb.vpd", "/a/b.vpd"}, // an escaped slash is a slash
        {"file:///a%2", std::nullopt},     // an escape cut short
        {"file:///a%", std::nullopt},
        {"file:///a%G0.vpd", std::nullopt},  // not hexadecimal
        {"file:///a%FF.vpd", std::nullopt},  // not UTF-8
        {"file:///a%C3.vpd", std::nullopt},  // UTF-8 cut short
        {"file:///a%00b.vpd", std::nullopt}, // would cut the path short at the system call
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pathFromUrl(c.url), c.path) << c.url;
    }
}

} // namespace
} // namespace cipher
