#include "cipher/digest.h"
#include "cipher/url_path.h"
#include "cipher/utf8.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace cipher {
namespace {

using test::fromHex;

TEST(ConvertUInt8ToUTF, StopsAtTheFirstIllFormedSequence) {
    // Bytes in hex, and how many of them form the well-formed prefix.
    const std::pair<std::string, std::size_t> cases[] = {
        {"", 0},
        {"41ff42", 1},
        {"41e381", 1},                              // cut short by the end
        {"e38141", 0},                              // continuation missing
        {"c080", 0},                                // overlong
        {"c1bf", 0},                                // overlong
        {"e09fbf", 0},                              // overlong three-byte form
        {"f08fbfbf", 0},                            // overlong four-byte form
        {"eda080", 0},                              // surrogate
        {"f4908080", 0},                            // above U+10FFFF
        {"f5808080", 0},                            // lead byte never used
        {"80", 0},                                  // lone continuation
        {"f09f9880", 4},                            // U+1F600
        {"ed9fbfee8080", 6},                        // either side of the surrogates
        {"f48fbfbf", 4},                            // U+10FFFF
        {"410042", 3},                              // NUL is a character
        {"efbbbf41", 4},                            // the byte-order mark stays
        {"4142434445464748494ac3a978797aff41", 15}, // past the eight-byte ASCII fast path
    };
    for (const auto& [hex, prefix] : cases) {
        const std::string bytes = fromHex(hex);
        EXPECT_EQ(convertUInt8ToUTF(asBytes(bytes)), bytes.substr(0, prefix)) << hex;
        EXPECT_EQ(isWellFormedUtf8(bytes), prefix == bytes.size()) << hex;
    }
}

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
    };
    for (const auto& [url, path] : cases) {
        EXPECT_EQ(pathFromUrl(url), path) << url;
    }
}

} // namespace
} // namespace cipher
