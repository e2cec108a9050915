// SPDX-License-Identifier: Apache-2.0
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

namespace protocol {
namespace {

TEST(EscapeControls, ControlCharactersBecomeHexEscapes) {
    EXPECT_EQ(escapeControls("plain\ttext ~"), "plain\ttext ~");
    EXPECT_EQ(escapeControls(std::string("a\nb\r\x1B[2J\x7F\0", 10)),
              "a\\x0Ab\\x0D\\x1B[2J\\x7F\\x00");
    EXPECT_EQ(escapeControls("\xE9t\xE9"), "\xE9t\xE9");  // 8-bit text stays
}

}  // namespace
}  // namespace protocol
