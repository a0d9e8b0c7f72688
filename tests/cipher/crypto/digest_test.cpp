#include "cipher/crypto/digest.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace cipher {
namespace {

TEST(Md5, MatchesPublishedDigestsOfUtf8Bytes) {
    const std::pair<std::string, std::string> cases[] = {
        // RFC 1321, appendix A.5; the rest of its vectors test OpenSSL, not us.
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        // "é" as C3 A9, from `printf '\xc3\xa9' | openssl md5`; ill-formed texts have no digest.
        {"\xC3\xA9", "66ddcd97cfdeabb2f6fb8a999b4bc76f"},
        {"\xE9", ""},
        {"pass\xED\xA0\x80", ""},
    };
    for (const auto& [text, digest] : cases) {
        EXPECT_EQ(md5(text), digest) << text;
    }
}

} // namespace
} // namespace cipher
