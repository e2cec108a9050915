// SPDX-License-Identifier: Apache-2.0
#include "platform/parse.h"

#include <gtest/gtest.h>

#include <limits>

namespace platform {
namespace {

TEST(Parse, NumbersTakeTheWholeTextOrNothing) {
    struct Case {
        std::string_view text;
        std::uint64_t most;
        std::optional<std::uint64_t> want;
    };
    const Case cases[] = {
        {"0", 10, 0},
        {"10", 10, 10},
        {"11", 10, std::nullopt},
        {"", 10, std::nullopt},
        {"-1", 10, std::nullopt},
        {"+1", 10, std::nullopt},
        {" 1", 10, std::nullopt},
        {"1 ", 10, std::nullopt},
        {"0x1", 10, std::nullopt},
        {"18446744073709551616", std::numeric_limits<std::uint64_t>::max(), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseUnsigned(c.text, c.most), c.want) << c.text;
}

TEST(Parse, SecondsAllowFractionsAboveZero) {
    struct Case {
        std::string_view text;
        std::optional<double> want;
    };
    const Case cases[] = {{"2", 2},
                          {"0.25", 0.25},
                          {".5", 0.5},
                          {"0", std::nullopt},
                          {"-1", std::nullopt},
                          {"1e3", std::nullopt},
                          {"1.", std::nullopt},
                          {".", std::nullopt},
                          {"nan", std::nullopt},
                          {"3601", std::nullopt}};
    for (const Case& c : cases) EXPECT_EQ(parseSeconds(c.text, 3600), c.want) << c.text;
}

TEST(Parse, PortsPrefixesAndAddresses) {
    EXPECT_EQ(parsePort("1283"), 1283);
    EXPECT_EQ(parsePort("0"), std::nullopt);
    EXPECT_EQ(parsePort("65536"), std::nullopt);
    EXPECT_EQ(parsePrefixLength("32"), 32u);
    EXPECT_EQ(parsePrefixLength("-8"), std::nullopt);
    EXPECT_EQ(parsePrefixLength("033"), std::nullopt);
    EXPECT_EQ(parseIpv4("127.0.0.2"), 0x7F000002u);
    for (std::string_view bad : {"127.0.0.-1", "127.0.0", "127.0.0.2.", "127.0.0.256", "1.2.3.0004",
                                 "localhost", "127..0.1", ""})
        EXPECT_EQ(parseIpv4(bad), std::nullopt) << bad;
}

TEST(Parse, RangesNameEveryAddressOnce) {
    struct Case {
        std::string_view text;
        Ipv4 first, last;
    };
    const Case good[] = {{"127.0.0.2", 0x7F000002, 0x7F000002},
                         {"127.0.0.1-127.0.0.9", 0x7F000001, 0x7F000009},
                         {"127.0.1.77/24", 0x7F000100, 0x7F0001FF},
                         {"10.1.2.3/32", 0x0A010203, 0x0A010203},
                         {"0.0.0.0/0", 0, 0xFFFFFFFF}};
    for (const Case& c : good) {
        std::string error;
        std::optional<Ipv4Range> range = parseIpv4Range(c.text, error);
        ASSERT_TRUE(range) << c.text << ": " << error;
        EXPECT_EQ(range->first, c.first) << c.text;
        EXPECT_EQ(range->last, c.last) << c.text;
    }
    EXPECT_EQ((Ipv4Range{0, 0xFFFFFFFF}.size()), std::uint64_t{1} << 32);
    for (std::string_view bad : {"127.0.0.0/-8", "127.0.0.0/33", "127.0.0.9-127.0.0.1",
                                 "127.0.0.-1", "127.0.0.1-", "a-b", "127.0.0.0/"}) {
        std::string error;
        EXPECT_FALSE(parseIpv4Range(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(Parse, HostAndOptionalPort) {
    std::string error;
    std::optional<HostPort> plain = parseHostPort("till-9.shop.example", error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "till-9.shop.example");
    EXPECT_FALSE(plain->port);
    std::optional<HostPort> forwarded = parseHostPort("127.0.0.2:11283", error);
    ASSERT_TRUE(forwarded);
    EXPECT_EQ(forwarded->host, "127.0.0.2");
    EXPECT_EQ(forwarded->port, 11283);
    for (std::string_view bad : {"127.0.0.2:", ":1283", "127.0.0.2:0", "127.0.0.2:x", "a:b:1", "\xEF\xBB\xBFtill", "till\x1B]0;x"}) {
        error.clear();
        EXPECT_FALSE(parseHostPort(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace platform
