#include "cipher/crypto/sealed_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace cipher {
namespace {

TEST(SealedBytes, OpensToTheSameBytesAtEverySize) {
    // Empty, under a block, a whole block, and a few MiB of every byte value; each opens again and again.
    std::string large(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 131 % 256);
    }
    for (const std::string& plain : {std::string(), std::string("a"), std::string(16, '\0'), large}) {
        const std::optional<SealedBytes> sealed = SealedBytes::seal(asBytes(plain));
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->size(), plain.size());
        for (int round = 0; round < 2; ++round) {
            const std::optional<SecureBytes> opened = sealed->open();
            ASSERT_TRUE(opened);
            EXPECT_TRUE(asText(*opened) == plain) << plain.size();
        }
    }
}

} // namespace
} // namespace cipher
