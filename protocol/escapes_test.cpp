// SPDX-License-Identifier: Apache-2.0
#include "protocol/escapes.h"

#include <gtest/gtest.h>

#include <string>

namespace protocol {
namespace {

std::string control(std::string s) {
    s.resize(decodeControlEscapes(s.data(), s.size()));
    return s;
}

std::string hex(std::string s) {
    s.resize(decodeHexEscapes(s.data(), s.size()));
    return s;
}

TEST(ControlEscapes, OnlyLineFeedReturnAndTab) {
    EXPECT_EQ(control("a\\nb"), "a\nb");
    EXPECT_EQ(control("\\r\\t"), "\r\t");
    EXPECT_EQ(control("a\\qb"), "a\\qb");
    EXPECT_EQ(control("end\\"), "end\\");
    EXPECT_EQ(control("\\\\n"), "\\\n");
}

TEST(HexEscapes, ExactlyTwoDigitsOfEitherCase) {
    EXPECT_EQ(hex("\\x41"), "A");
    EXPECT_EQ(hex("\\x4a\\x4A"), "JJ");
    EXPECT_EQ(hex("\\x00\\x41"), std::string("\0A", 2));
    EXPECT_EQ(hex("\\x4"), "\\x4");
    EXPECT_EQ(hex("\\x4g"), "\\x4g");
    EXPECT_EQ(hex("\\X41"), "\\X41");
    EXPECT_EQ(hex("\\x414"), "A4");
}

}  // namespace
}  // namespace protocol
