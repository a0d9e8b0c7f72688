#include "cipher/aes.h"
#include "cipher/base64.h"
#include "cipher/note_cipher.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <functional>
#include <string>

namespace cipher {
namespace {

using namespace std::string_literals;

Bytes bytesFromHex(std::string_view hex) {
    const std::string bytes = test::fromHex(hex);
    return Bytes(bytes.begin(), bytes.end());
}

// NIST SP 800-38A, F.2.5 (CBC-AES256.Encrypt) and F.2.6 (CBC-AES256.Decrypt).
const Bytes nistKey = bytesFromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const Bytes nistIv = bytesFromHex("000102030405060708090a0b0c0d0e0f");
const Bytes nistPlain = bytesFromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
const Bytes nistCipher = bytesFromHex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                                      "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");

TEST(AesCbc, MatchesNistSp800_38aVectors) {
    const auto encrypted = aesCbcEncrypt(nistKey, nistIv, nistPlain);
    ASSERT_TRUE(encrypted);
    ASSERT_EQ(encrypted->size(), 80U); // the vectors have no padding; ours adds a whole block
    EXPECT_EQ(Bytes(encrypted->begin(), encrypted->begin() + 64), nistCipher);

    Bytes withPadding = nistCipher;
    withPadding.insert(withPadding.end(), encrypted->begin() + 64, encrypted->end());
    const auto decrypted = aesCbcDecrypt(nistKey, nistIv, withPadding);
    ASSERT_TRUE(decrypted);
    EXPECT_EQ(Bytes(decrypted->begin(), decrypted->end()), nistPlain);
}

TEST(NoteCipher, SizesFollowThePaddingAndLineRules) {
    struct Case {
        std::string note, fileText;
        std::size_t cipherSize, fileSize;
    };
    // Reference files under the empty password (also opened with the openssl command).
    const Case cases[] = {{"", "48fFiiuUHyMnuRBN9Y5OFg==", 16, 24}, {"Hello", "LZIEcjSaS8ninmllT7Az2w==", 16, 24},
                          {std::string(15, 'n'), "", 16, 24},       {std::string(16, 'n'), "", 32, 44},
                          {std::string(47, 'n'), "", 48, 64},       {std::string(80, 'n'), "", 96, 130}};
    for (const auto& c : cases) {
        MemoryLog log;
        const auto fileText = encrypt(c.note, "", noteIv, Trace(), log);
        ASSERT_TRUE(fileText);
        if (!c.fileText.empty()) {
            EXPECT_EQ(*fileText, c.fileText);
        }
        EXPECT_EQ(base64ToByteArray(*fileText)->size(), c.cipherSize);
        EXPECT_EQ(fileText->size(), c.fileSize);
        EXPECT_EQ(decrypt(*fileText, "", noteIv, Trace()), c.note);
        EXPECT_TRUE(log.lines.empty());
    }
}

TEST(NoteCipher, RoundTripsDeterministicallyAndOnlyUnderTheSamePassword) {
    MemoryLog log;
    const std::string note = "Caf\xC3\xA9 \xE5\x90\x8D \xF0\x9F\x98\x80\r\nline two\0end"s;
    const auto first = encrypt(note, "p\xC3\xA4ss", noteIv, Trace(), log);
    ASSERT_TRUE(first);
    EXPECT_EQ(encrypt(note, "p\xC3\xA4ss", noteIv, Trace(), log), first);
    EXPECT_EQ(decrypt(*first, "p\xC3\xA4ss", noteIv, Trace()), note);
    EXPECT_EQ(decryptWhole(*first, "p\xC3\xA4ss", noteIv, Trace()).value(), note);

    for (const std::string wrong : {"", "pass", "p\xC3\xA4sS"}) {
        EXPECT_NE(decrypt(*first, wrong, noteIv, Trace()), note);
        const auto refused = decryptWhole(*first, wrong, noteIv, Trace());
        ASSERT_FALSE(refused.ok());
        EXPECT_NE(refused.failure().message.find("wrong password or damaged file"), std::string::npos);
    }
    // Bytes that decrypt gives only in part, "A" before an ill-formed byte, are refused whole.
    const std::string partial = base64Encode(*aesCbcEncrypt(deriveKey("k"), noteIv, bytesFromHex("41ff42")));
    EXPECT_EQ(decrypt(partial, "k", noteIv, Trace()), "A");
    EXPECT_FALSE(decryptWhole(partial, "k", noteIv, Trace()).ok());
}

TEST(NoteCipher, FailsWithoutValueOnBadInput) {
    MemoryLog log;
    EXPECT_EQ(encrypt("note", "bad\xFF", noteIv, Trace(), log), std::nullopt);
    EXPECT_EQ(encrypt("bad\xFF", "pw", noteIv, Trace(), log), std::nullopt);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"some error", "some error"}));
    EXPECT_TRUE(deriveKey("bad\xFF").empty());

    for (const std::string fileText : {"", "\r\n", "not base64", "AAAAAAAAAAAAAAAAAAAA", "LZIEcjSaS8ninmllT7Az2w=="}) {
        EXPECT_EQ(decrypt(fileText, "wrong", noteIv, Trace()), std::nullopt) << fileText;
        EXPECT_FALSE(decryptWhole(fileText, "wrong", noteIv, Trace()).ok()) << fileText;
    }
}

std::string traced(const std::function<void(const Trace&)>& run) {
    std::FILE* file = std::tmpfile();
    run(Trace(file));
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

TEST(Trace, IsOffUnlessTheEnvironmentSaysExactlyOne) {
    EXPECT_FALSE(Trace().enabled());
    for (const char* value : {"", "0", "true", " 1", "1"}) {
        setenv("VELLUMPAD_TRACE", value, 1);
        EXPECT_EQ(Trace::fromEnvironment().enabled(), std::string(value) == "1") << value;
    }
    unsetenv("VELLUMPAD_TRACE");
}

TEST(Trace, WritesEachStepByteExactly) {
    const std::string plainList = "[72, 101, 108, 108, 111]\n";
    const std::string cipherList = "[45, 146, 4, 114, 52, 154, 75, 201, 226, 158, 105, 101, 79, 176, 51, 219]\n";
    MemoryLog log;
    const std::pair<std::function<void(const Trace&)>, std::string> cases[] = {
        {[&](const Trace& t) { (void)encrypt("Hello", "", noteIv, t, log); },
         "input\n" + plainList + "encrypted\n" + cipherList +
             "encryptedData\n16 bytes\nencryptedString\nLZIEcjSaS8ninmllT7Az2w==\n"},
        {[&](const Trace& t) { (void)encrypt("Hello", "\xFF", noteIv, t, log); }, "input\n" + plainList},
        {[](const Trace& t) { (void)decrypt("LZIEcjSaS8ninmllT7Az2w==", "", noteIv, t); },
         "decryptedData\n" + cipherList + "decrypted\n" + plainList + "decryptedstring\nHello\n"},
        {[](const Trace& t) { (void)decrypt("LZIEcjSaS8ninmllT7Az2w==", "x", noteIv, t); },
         "decryptedData\n" + cipherList + "some error\n"},
        {[](const Trace& t) { (void)decrypt("", "", noteIv, t); }, "decryptedData\n[]\nsome error\n"},
        {[](const Trace& t) { (void)decrypt("Zg=", "", noteIv, t); }, "some error\n"},
    };
    for (const auto& [run, expected] : cases) {
        EXPECT_EQ(traced(run), expected);
    }
}

TEST(Trace, ByteListsSpanningManyChunksMatchPlainFormatting) {
    Bytes bytes(200'000);
    std::string expected = "[";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31);
        expected += (i == 0 ? "" : ", ") + std::to_string(bytes[i]);
    }
    EXPECT_EQ(traced([&](const Trace& t) { t.byteList(bytes); }), expected + "]\n");
}

} // namespace
} // namespace cipher
