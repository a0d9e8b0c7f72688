#include "cipher/crypto/sealed_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace cipher {
namespace {

std::span<std::uint8_t> span(std::string& text) {
    return {reinterpret_cast<std::uint8_t*>(text.data()), text.size()};
}

TEST(SealedBytes, SealsInPlaceAndOpensOnlyTheSameBytes) {
    // Empty, under a block, a whole block, and a few MiB of every byte value.
    std::string large(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 131 % 256);
    }
    for (const std::string& plain : {std::string(), std::string("a"), std::string(16, '\0'), large}) {
        std::string held = plain;
        const std::optional<SealedBytes> sealed = SealedBytes::seal(span(held));
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->size(), plain.size());
        EXPECT_TRUE(plain.size() < 16 || held != plain);
        // Another length, or a single bit changed, is refused.
        std::string longer = held + "x";
        EXPECT_FALSE(sealed->open(span(longer)));
        if (!held.empty()) {
            std::string altered = held;
            altered.back() = static_cast<char>(altered.back() ^ 1);
            EXPECT_FALSE(sealed->open(span(altered)));
        }
        ASSERT_TRUE(sealed->open(span(held)));
        EXPECT_TRUE(held == plain) << plain.size();
    }
}

} // namespace
} // namespace cipher
