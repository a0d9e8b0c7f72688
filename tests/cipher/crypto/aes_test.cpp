#include "cipher/crypto/aes.h"
#include "test_support.h"

namespace cipher {
namespace {

using test::fromHex;

// NIST SP 800-38A, F.2.5 (CBC-AES256.Encrypt) and F.2.6 (CBC-AES256.Decrypt).
TEST(AesCbc, MatchesNistSp800_38aVectors) {
    const std::string key = fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const std::string iv = fromHex("000102030405060708090a0b0c0d0e0f");
    const std::string plain = fromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                      "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const std::string cipherText = fromHex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                                           "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
    const auto encrypted = aesCbcEncrypt(asBytes(key), asBytes(iv), asBytes(plain));
    ASSERT_TRUE(encrypted);
    ASSERT_EQ(encrypted->size(), 80U); // the vectors have no padding; ours adds a whole block
    EXPECT_EQ(asText(*encrypted).substr(0, 64), cipherText);
    const std::string withPadding = cipherText + std::string(asText(*encrypted).substr(64));
    const auto decrypted = aesCbcDecrypt(asBytes(key), asBytes(iv), asBytes(withPadding));
    ASSERT_TRUE(decrypted);
    EXPECT_EQ(asText(*decrypted), plain);
}

} // namespace
} // namespace cipher
