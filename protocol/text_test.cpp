#include "protocol/text.h"

#include <gtest/gtest.h>

namespace protocol {
namespace {

TEST(TrimRight, RemovesEveryKindOfTrailingWhiteSpace) {
    std::string s = "a b \t\r\n\v\f";
    trimRight(s);
    EXPECT_EQ(s, "a b");
    char buf[] = "x  \t";
    trimRight(buf);
    EXPECT_STREQ(buf, "x");
    EXPECT_EQ(trimRight(std::string_view("  ")), "");
    std::string empty;
    trimRight(empty);
    EXPECT_EQ(empty, "");
}

TEST(CopyString, CopiesAtMostLengthAndStopsAtZero) {
    std::string slot = "old";
    copyString(slot, "abcdef", 3);
    EXPECT_EQ(slot, "abc");
    copyString(slot, "ab\0cd", 5);
    EXPECT_EQ(slot, "ab");
}

TEST(CopyStringDeathTest, MissingSourceEndsTheProcess) {
    std::string slot;
    EXPECT_EXIT(copyString(slot, nullptr, 3), testing::ExitedWithCode(1),
                "copyString pass a NULL pointer");
}

TEST(EqualsIgnoreCase, AsciiOnly) {
    EXPECT_TRUE(equalsIgnoreCase("ServerType", "SERVERTYPE"));
    EXPECT_FALSE(equalsIgnoreCase("ServerType", "ServerTypes"));
    EXPECT_FALSE(equalsIgnoreCase("\xC4", "\xE4"));
}

}  // namespace
}  // namespace protocol
