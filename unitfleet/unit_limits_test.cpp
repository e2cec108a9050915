// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/unit_limits.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

TEST(UnitLimits, DefinitionRepliesThatCannotBeReadBackAreRefused) {
    std::string longest(kLongestModeName, 'N');
    struct Case {
        std::string body;
        std::string fault;  // empty: sound
    } cases[] = {
        {"UnitID = STRING,16 The unit's name\r\nPOSTimeout = INTEGER\r\n", ""},
        {"\r\nUnitID = STRING,16\r\n", "definition line 1 has no type: ''"},
        {longest + " = STRING,8\r\n", ""},
        {"", "the unit lists no modes"},
        {"configuration locked by another session",
         ""},  // a sentence reads as a name and a type; a refusal is caught before
        {"A=BOOL\nb\nc\n", "definition line 2 has no type: 'b'"},
        {std::string(65000 * 2, 'a').replace(1, 1, "\n"), "definition line 1 has no type: 'a'"},
        {"UnitID =\r\n", "definition line 1 has no type: 'UnitID ='"},
        {"UnitID = ,16\r\n", "definition line 1 has no type: 'UnitID = ,16'"},
        {"= STRING\r\n", "definition line 1 has no mode name: '= STRING'"},
        {longest + "N = STRING\r\n",
         "definition line 1 has a mode name of 50 characters (at most "
         "49): 'NNNNNNNNNNNNNNNNNNNNNNNN...'"},
        {"Unit\x1B]0;x\x07 = STRING\r\n",
         "definition line 1 has a control character in its mode name: "
         "'Unit\\x1B]0;x\\x07 = STRING'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 40));
        std::string error;
        EXPECT_EQ(definitionFits(c.body, error), c.fault.empty());
        EXPECT_EQ(error, c.fault);
    }
}

TEST(UnitLimits, ListingsUpToTheLimitAreWritten) {
    std::string error;
    EXPECT_TRUE(listingFits(kLargestListing, error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(listingFits(kLargestListing + 1, error));
    EXPECT_EQ(error, "the listing would take 1048577 bytes, more than the 1048576 a unit may take");
}

}  // namespace
}  // namespace unitfleet
