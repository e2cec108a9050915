// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/discover.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

TEST(Discover, RangesAreSpansBlocksOrSingleAddresses) {
    struct Case {
        const char* text;
        bool valid;
        const char* first;
        const char* last;
    } cases[] = {
        {"127.0.3.0/24", true, "127.0.3.0", "127.0.3.255"},
        {"127.0.3.77/24", true, "127.0.3.0", "127.0.3.255"},  // the whole block
        {"127.0.4.0/22", true, "127.0.4.0", "127.0.7.255"},
        {"127.0.0.9/32", true, "127.0.0.9", "127.0.0.9"},
        {"127.0.1.5-127.0.2.4", true, "127.0.1.5", "127.0.2.4"},
        {"127.0.0.1", true, "127.0.0.1", "127.0.0.1"},
        {"127.0.1.5-127.0.1.4", false, "", ""},
        {"127.0.0.1/33", false, "", ""},
        {"127.0.0.256", false, "", ""},
        {"127.0.0", false, "", ""},
        {"127.0.0.1.2", false, "", ""},
        {"localhost", false, "", ""},
        {"127.0.0.1-", false, "", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        std::optional<AddressRange> range = parseRange(c.text, error);
        ASSERT_EQ(range.has_value(), c.valid) << error;
        if (range) {
            EXPECT_EQ(platform::dotted(range->first), c.first);
            EXPECT_EQ(platform::dotted(range->last), c.last);
        } else {
            EXPECT_NE(error, "");
        }
    }
}

TEST(Discover, UnitIdsBecomeSafeNames) {
    EXPECT_EQ(safeName("till-01"), "till-01");
    EXPECT_EQ(safeName("Till 7/north"), "Till_7_north");
    EXPECT_EQ(safeName("../etc"), "_etc");
    EXPECT_EQ(safeName("..."), "");
    EXPECT_EQ(safeName(""), "");
}

}  // namespace
}  // namespace unitfleet
