#include "cipher/crypto/digest.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace cipher {
namespace {

TEST(Md5, MatchesPublishedDigestsOfUtf8Bytes) {
    const std::pair<std::string, std::string> cases[] = {
        // RFC 1321, appendix A.5.
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
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
