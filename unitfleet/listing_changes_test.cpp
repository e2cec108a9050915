// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/listing_changes.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

const char* const kListing =
    "\n\n# ***  Current Content  ***\n\n"
    "TargetIP = 127.0.1.1\n"
    "UnitID        = TILL01\n"
    "POSTimeout    = 10\n"
    "DateTime      = 2026-01-01 00:00:00\n"
    "TextReset     = a = b\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

TEST(ListingChanges, ComparesModeByModeLeavingVolatileModesOut) {
    struct Case {
        const char* what;
        std::string after;
        std::vector<std::string> extraVolatile;
        std::vector<std::string> expected;
    } cases[] = {
        {"same", kListing, {}, {}},
        {"a wider name column is no change",
         replaced(replaced(kListing, "UnitID        =", "UnitID                 ="),
                  "POSTimeout    =", "POSTimeout             ="),
         {},
         {}},
        {"the clock alone is no change", replaced(kListing, "00:00:00", "09:15:00"), {}, {}},
        {"a value", replaced(kListing, "= 10", "= 20"), {}, {"POSTimeout 10 -> 20"}},
        {"case counts", replaced(kListing, "TILL01", "till01"), {}, {"UnitID TILL01 -> till01"}},
        {"a value with '='",
         replaced(kListing, "a = b", "a = c"),
         {},
         {"TextReset a = b -> a = c"}},
        {"--volatile extends the list, ignoring case",
         replaced(kListing, "= 10", "= 20"),
         {"postimeout"},
         {}},
        {"a mode gone and one new",
         replaced(kListing, "UnitID        = TILL01\n", "") + "Beep = 3\n",
         {},
         {"UnitID TILL01 -> (none)", "Beep (none) -> 3"}},
        {"another address",
         replaced(kListing, "127.0.1.1", "127.0.1.9"),
         {},
         {"TargetIP 127.0.1.1 -> 127.0.1.9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VolatileModes volatileModes;
        for (const std::string& mode : c.extraVolatile) volatileModes.names.push_back(mode);
        std::vector<std::string> got;
        for (const ModeChange& change : listingChanges(kListing, c.after, volatileModes))
            got.push_back(describeChange(change));
        EXPECT_EQ(got, c.expected);
    }
}

TEST(ListingChanges, EntriesSkipHeadingsAndKeepFileOrder) {
    auto entries = listingEntries(kListing);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"TargetIP", "127.0.1.1"}));
    EXPECT_EQ(entries[4], (std::pair<std::string, std::string>{"TextReset", "a = b"}));
    EXPECT_TRUE(listingEntries("").empty());
    EXPECT_EQ(listingEntries("Empty =\n")[0].second, "");
}

}  // namespace
}  // namespace unitfleet
