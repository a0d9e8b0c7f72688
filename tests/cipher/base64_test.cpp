#include "cipher/base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace cipher {
namespace {

std::optional<std::string> decodeToText(std::string_view text) {
    const auto bytes = base64ToByteArray(text);
    return bytes ? std::optional<std::string>(asText(*bytes)) : std::nullopt;
}

TEST(Base64, MatchesRfc4648TestVectors) {
    // RFC 4648, section 10.
    const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(base64Encode(asBytes(plain)), encoded);
        EXPECT_EQ(decodeToText(encoded), plain) << encoded;
    }
}

TEST(Base64Decode, SkipsCharactersOutsideTheAlphabetAndIsOtherwiseStrict) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"Zm9v\r\nYmFy", "foobar"}, {"Zm9v\nYmFy", "foobar"}, {" Z m9 vY mFy\t", "foobar"}, {"Zm9vYg=\r\n=", "foob"},
        {"*Z\xC3\xA9g==!", "f"},    {"\r\n \t", ""},          {"Z", std::nullopt},          {"Zg", std::nullopt},
        {"Zg=", std::nullopt},      {"Zm9vY", std::nullopt},  {"Zg==Zg==", std::nullopt},   {"Zg==Z", std::nullopt},
        {"=Zg=", std::nullopt},     {"Zg===", std::nullopt},  {"====", std::nullopt},       {"A===", std::nullopt},
        {"Zh==", std::nullopt},     {"Zm9=", std::nullopt}, // non-zero bits under the padding
    };
    for (const auto& [text, plain] : cases) {
        EXPECT_EQ(decodeToText(text), plain) << text;
    }
}

TEST(Base64Encode, BreaksLinesAfterEvery64CharactersButNotAtTheEnd) {
    for (const std::size_t size : {1U, 2U, 3U, 47U, 48U, 49U, 95U, 96U, 97U, 1000U}) {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
        }
        const std::string text = base64Encode(bytes);
        const std::size_t chars = (size + 2) / 3 * 4;
        ASSERT_EQ(text.size(), chars + 2 * ((chars + 63) / 64 - 1)) << size;
        for (std::size_t pos = 64; pos < text.size(); pos += 66) {
            EXPECT_EQ(text.substr(pos, 2), "\r\n") << size;
        }
        EXPECT_EQ(text.find('\r', 0) == std::string::npos, size <= 48) << size;

        std::string lfOnly = text;
        std::erase(lfOnly, '\r');
        std::string unbroken = lfOnly;
        std::erase(unbroken, '\n');
        EXPECT_EQ(base64ToByteArray(text), bytes);
        EXPECT_EQ(base64ToByteArray(lfOnly), bytes);
        EXPECT_EQ(base64ToByteArray(unbroken), bytes);
    }
}

} // namespace
} // namespace cipher
