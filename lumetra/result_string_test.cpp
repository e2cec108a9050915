// SPDX-License-Identifier: Apache-2.0
#include "lumetra/result_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "lumetra/lumetra.h"

namespace lumetra {
namespace {

struct Case {
    std::string text;
    std::uint32_t byteCount;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class LumetraResultString : public testing::TestWithParam<Case> {};

// Whole two-byte units: an odd text carries its zero byte in the count, and
// two zero bytes always follow the counted bytes.
TEST_P(LumetraResultString, HoldsWholeTwoByteUnits) {
    const Case& c = GetParam();
    char* s = makeResultString(c.text);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(LumetraStringByteLen(s), c.byteCount);
    EXPECT_EQ(std::memcmp(s, c.text.data(), c.text.size()), 0);
    for (std::uint32_t i = static_cast<std::uint32_t>(c.text.size()); i < c.byteCount + 2; ++i) {
        EXPECT_EQ(s[i], '\0') << "byte " << i;
    }
    EXPECT_EQ(std::string(s), c.text);
    LumetraFreeString(s);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LumetraResultString,
                         testing::Values(Case{"", 0}, Case{"A", 2}, Case{"AB", 2}, Case{"ABC", 4},
                                         Case{"10.0.0.5", 8}, Case{"Threshhold", 10},
                                         Case{"UnitID", 6}, Case{"POSTimeout=10", 14}));

TEST(LumetraResultStringEdges, TextStopsAtAZeroByte) {
    char* s = makeResultString(std::string_view("AB\0CD", 5));
    EXPECT_EQ(LumetraStringByteLen(s), 2u);
    LumetraFreeString(s);
}

TEST(LumetraResultStringEdges, NullIsAcceptedEverywhere) {
    EXPECT_EQ(LumetraStringByteLen(nullptr), 0u);
    LumetraFreeString(nullptr);
}

}  // namespace
}  // namespace lumetra
