// SPDX-License-Identifier: Apache-2.0
#include "mibbet/request.h"

#include <gtest/gtest.h>

#include <vector>

namespace mibbet {
namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> frame(std::string_view code, std::string_view body,
                                std::uint32_t length = 0) {
    std::vector<std::uint8_t> f(8 + body.size());
    if (length == 0) length = static_cast<std::uint32_t>(f.size());
    protocol::writeBE32(f.data(), length);
    std::copy(code.begin(), code.end(), f.begin() + 4);
    std::copy(body.begin(), body.end(), f.begin() + 8);
    return f;
}

struct KeyCase {
    const char* name;
    std::vector<std::uint8_t> request;
    std::optional<std::string> key;
};

class RequestKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RequestKey, TakesTheKeyOrNone) {
    const KeyCase& c = GetParam();
    std::optional<std::string_view> query = queryText(c.request);
    std::optional<std::string_view> key = query ? keyOf(*query) : std::nullopt;
    if (c.key) {
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(*key, *c.key);
    } else {
        EXPECT_FALSE(key.has_value()) << *key;
    }
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestKey,
    ::testing::Values(
        KeyCase{"text", bytes("K1"), "K1"},
        KeyCase{"textCrLf", bytes("K1\r\n"), "K1"},
        KeyCase{"textToZero", bytes("K1\0rest"sv), "K1"},
        KeyCase{"textPrefixTab", bytes("pre\tK1"), "K1"},
        KeyCase{"onlyFirstTabSplits", bytes("pre\tK\tL"), "K\tL"},
        KeyCase{"textContainingCode", bytes("xxxxPROD"), "xxxxPROD"},
        KeyCase{"whiteOnly", bytes(" \t\r\n"), std::nullopt},
        KeyCase{"prod", frame("PROD", "K1\0"sv), "K1"},
        KeyCase{"prodWithPrefix", frame("PROD", "pre\tK1\0"sv), "K1"},
        KeyCase{"prodLengthIgnoredForText", frame("PROD", "K1234\0"sv, 9), "K1234"},
        KeyCase{"prodEmpty", frame("PROD", ""), std::nullopt},
        KeyCase{"prodLowerCase", frame("prod", "K1\0"sv), std::nullopt},
        KeyCase{"event", frame("EVNT", std::string(24, '\0')), std::nullopt},
        KeyCase{"terminate", frame("TERM", "\0"sv), std::nullopt},
        KeyCase{"query", frame("MDSQ", "K1\0"sv), std::nullopt},
        KeyCase{"unknownCode", frame("ABCD", "K1\0"sv), std::nullopt},
        KeyCase{"lengthBelow8", frame("PROD", "K1\0"sv, 7), std::nullopt},
        KeyCase{"shortRead", bytes("\0\0\0"sv), std::nullopt},
        KeyCase{"emptyRead", {}, std::nullopt},
        KeyCase{"fullBufferNoZero", std::vector<std::uint8_t>(8192, 'k'), std::string(8192, 'k')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NotFoundAnswer, KeyCrLfTwoBlanksCounter) {
    EXPECT_EQ(notFoundAnswer("K9", 2), "K9\r\n  2");
    EXPECT_EQ(notFoundAnswer(std::string(8192, 'k'), 0), std::string(8192, 'k') + "\r\n  0");
}

}  // namespace
}  // namespace mibbet
