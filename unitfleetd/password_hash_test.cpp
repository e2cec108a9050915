// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/password_hash.h"

#include <gtest/gtest.h>

namespace unitfleetd {
namespace {

TEST(PasswordHash, Argon2idWithSaltAndCostInTheText) {
    std::string error;
    for (auto cost : {HashCost::Password, HashCost::Token}) {
        auto a = hashSecret("correct horse", cost, error);
        auto b = hashSecret("correct horse", cost, error);
        ASSERT_TRUE(a && b) << error;
        EXPECT_EQ(a->rfind("$argon2id$v=19$", 0), 0u) << *a;
        EXPECT_NE(*a, *b) << "each hash has its own salt";
        EXPECT_EQ(a->find("correct"), std::string::npos);
        EXPECT_TRUE(verifySecret("correct horse", *a));
        EXPECT_FALSE(verifySecret("correct horsE", *a));
        EXPECT_FALSE(verifySecret("", *a));
    }
    EXPECT_NE(hashSecret("x", HashCost::Password, error)->find("m=65536,t=3"), std::string::npos);
}

TEST(PasswordHash, OtherFormatsNeverMatch) {
    for (const char* stored :
         {"", "secret", "$argon2i$v=19$m=64,t=1,p=1$c2FsdHNhbHQ$aGFzaA", "$argon2id$garbage"})
        EXPECT_FALSE(verifySecret("secret", stored)) << stored;
}

TEST(PasswordHash, RandomHex) {
    std::string error;
    auto a = randomHex(32, error), b = randomHex(32, error);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size(), 64u);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(a->find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
}  // namespace unitfleetd
