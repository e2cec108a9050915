// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/listing_reader.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

const std::string kHeading = "\n\n# ***  Current Content  ***\n\n";

TEST(ListingReader, TakesOnlyWholeListings) {
    std::string sound = kHeading +
                        "TargetIP = 127.0.0.2\nUnitID          = till\nTextReset       = Hi = "
                        "there\nBarcodePrefix   = \nHostIP          = (null)\n";
    struct Case {
        const char* name;
        std::string text;
        const char* error;  // empty: read
    } cases[] = {
        {"sound", sound, ""},
        {"cut in a line", sound.substr(0, sound.size() - 3), "its last line is cut short"},
        {"no heading", sound.substr(2), "it does not start with a listing's heading"},
        {"random bytes", "\x01\x02\xff garbage", "it does not start with a listing's heading"},
        {"empty", "", "it does not start with a listing's heading"},
        {"no TargetIP", kHeading + "UnitID = x\n", "line 5: no TargetIP line"},
        {"heading only", kHeading, "it has no TargetIP line"},
        {"zero byte", kHeading + std::string("TargetIP = 1\nA = b\0c\n", 21),
         "it holds a zero byte"},
        {"a line that is no mode line", kHeading + "TargetIP = 1\nA = b\njunk\n",
         "line 7: not a mode line: 'junk'"},
        {"no blank before '='", kHeading + "TargetIP = 1\nA= b\n",
         "line 6: not a mode line: 'A= b'"},
        {"CR inside a value", kHeading + "TargetIP = 1\nA = b\rc\n",
         "line 6: a carriage return inside the line"},
        {"CR LF line ends", kHeading + "TargetIP = 1\r\nA = b\r\n", ""},
        {"escape in a bad line", kHeading + "TargetIP = 1\n\x1b[2J\n",
         "line 6: not a mode line: '\\x1B[2J'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        std::optional<Listing> listing = readListing(c.text, error);
        EXPECT_EQ(listing.has_value(), *c.error == '\0');
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    std::optional<Listing> listing = readListing(sound, error);
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->target, "127.0.0.2");
    // "(null)" is a mode the unit reported no value for: nothing to put back.
    EXPECT_EQ(listing->modes, (std::vector<ModeSetting>{{"UnitID", "till", 6},
                                                        {"TextReset", "Hi = there", 7},
                                                        {"BarcodePrefix", "", 8}}));
}

TEST(ListingReader, IdentityModesIgnoringCase) {
    for (const char* mode :
         {"SerialNumber", "macaddress", "ProductName", "BUILDINFO", "UnitStatus", "DateTime"})
        EXPECT_TRUE(isIdentityMode(mode)) << mode;
    for (const char* mode : {"UnitID", "IPAddress", "POSTimeout", "Serial"})
        EXPECT_FALSE(isIdentityMode(mode)) << mode;
}

// What an apply would change, worked out from a listing as from the unit.
TEST(ListingReader, TableOfAListingPlansAsTheUnitWould) {
    struct Case {
        const char* ini;
        std::vector<std::string> changes;  // setLine of each, in send order
        std::vector<std::string> unknown;
    };
    const Case cases[] = {
        {"POSTimeout = 10\n", {}, {}},
        {"POSTimeout = 20\n", {"POSTimeout = 20"}, {}},
        {"postimeout = 20\n", {"POSTimeout = 20"}, {}},
        {"UnitID = Till\n", {"UnitID = Till"}, {}},  // case alone is a change
        {"Printer = on\nPOSTimeout = 10\n", {}, {"Printer"}},
        {"TextReset = 1\nUnitID = x\n", {"UnitID = x", "TextReset = 1"}, {}},
        {"Empty = x\n", {}, {"Empty"}},  // saved without a value: not in the table
    };
    std::string error;
    auto listing = readListing(std::string(kHeading) +
                                   "TargetIP = 1\nUnitID = till\nPOSTimeout = 10\n"
                                   "TextReset = 0\nEmpty = (null)\n",
                               error);
    ASSERT_TRUE(listing) << error;
    protocol::ModeTable table = listingTable(*listing);
    ASSERT_EQ(table.count(), 3u);
    EXPECT_EQ(table[1].nvram, "10");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        auto settings = iniSettings(c.ini);
        std::vector<std::string> changes;
        for (const Change& change : plannedChanges(table, settings))
            changes.push_back(setLine(change));
        EXPECT_EQ(changes, c.changes);
        EXPECT_EQ(unknownModes(table, settings), c.unknown);
    }
}

}  // namespace
}  // namespace unitfleet
