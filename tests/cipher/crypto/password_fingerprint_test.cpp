#include "cipher/crypto/password_fingerprint.h"

#include <gtest/gtest.h>

#include <string>

namespace cipher {
namespace {

TEST(PasswordFingerprint, RecognisesOnlyTheLastPasswordRemembered) {
    std::optional<PasswordFingerprint> fingerprint = PasswordFingerprint::make();
    ASSERT_TRUE(fingerprint);
    EXPECT_FALSE(fingerprint->holdsOne());
    EXPECT_FALSE(fingerprint->matches(""));

    for (const std::string password : {"", "pw", " pw ", "p\xC3\xA4sS \xE7\xA7\x98"}) {
        ASSERT_TRUE(fingerprint->remember(password));
        EXPECT_TRUE(fingerprint->holdsOne());
        for (const std::string other : {"", "pw", "PW", "pw ", " pw ", "p\xC3\xA4sS \xE7\xA7\x98"}) {
            EXPECT_EQ(fingerprint->matches(other), other == password) << password << " / " << other;
        }
    }
    // A text no key can be derived from is never taken for the remembered password, nor remembered.
    EXPECT_FALSE(fingerprint->matches("bad\xFF"));
    EXPECT_FALSE(fingerprint->remember("bad\xFF"));
    EXPECT_FALSE(fingerprint->holdsOne());
    EXPECT_FALSE(fingerprint->matches("bad\xFF"));

    ASSERT_TRUE(fingerprint->remember("pw"));
    fingerprint->forget();
    EXPECT_FALSE(fingerprint->holdsOne());
    EXPECT_FALSE(fingerprint->matches("pw"));
}

} // namespace
} // namespace cipher
