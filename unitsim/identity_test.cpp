// SPDX-License-Identifier: Apache-2.0
#include "unitsim/identity.h"

#include <gtest/gtest.h>

#include <set>

namespace unitsim {
namespace {

TEST(Identity, NamesFromPatterns) {
    struct Case {
        const char* pattern;
        std::size_t number;
        const char* name;
    } cases[] = {
        {"TILL%04d", 1, "TILL0001"}, {"TILL%04d", 12345, "TILL12345"}, {"SHOP%d-A", 7, "SHOP7-A"},
        {"%3d", 5, "  5"},           {"100%%-%02d", 3, "100%-03"},
    };
    std::string error;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_TRUE(checkNamePattern(c.pattern, error)) << error;
        EXPECT_EQ(nameFromPattern(c.pattern, c.number), c.name);
    }
    for (const char* bad : {"TILL", "%d%d", "%s", "%04x", "%-4d", "TILL%", "%%d"}) {
        SCOPED_TRACE(bad);
        error.clear();
        EXPECT_FALSE(checkNamePattern(bad, error));
        EXPECT_NE(error, "");
    }
}

TEST(Identity, SerialAndMacFollowTheAddress) {
    platform::Ipv4 a = 0x7F000101;  // 127.0.1.1
    EXPECT_EQ(serialNumberFor(a), "SN127000001001");
    EXPECT_EQ(macAddressFor(a), "02:00:7F:00:01:01");
    auto pattern = std::make_shared<const std::string>("TILL%04d");
    UnitIdentity first{pattern, 1, a};
    EXPECT_EQ(identityValue(first, IdentityMode::UnitId), "TILL0001");
    EXPECT_EQ(identityValue(first, IdentityMode::SerialNumber), "SN127000001001");
    EXPECT_EQ(identityValue(first, IdentityMode::MacAddress), "02:00:7F:00:01:01");
    // Every unit of a large fleet differs from every other in all three.
    std::set<std::string> seen;
    for (std::uint32_t i = 1; i <= 1000; ++i) {
        UnitIdentity unit{pattern, i, 0x7F160000 + i * 97};
        for (IdentityMode mode :
             {IdentityMode::UnitId, IdentityMode::SerialNumber, IdentityMode::MacAddress}) {
            std::string value = identityValue(unit, mode);
            EXPECT_TRUE(seen.insert(value).second) << value;
        }
    }
}

}  // namespace
}  // namespace unitsim
