// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/inventory.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

TEST(Inventory, AddressNameGroupsAndComments) {
    Inventory inv = parseInventory(
        "# shop floor\n"
        "\n"
        "127.0.0.5 till-07 shop-north tills   # by the door\n"
        "  127.0.0.6\n"
        "127.0.0.7\tscale-1\tscales\r\n",
        "inv.txt");
    ASSERT_TRUE(inv.errors.empty()) << inv.errors[0];
    ASSERT_EQ(inv.units.size(), 3u);
    EXPECT_EQ(inv.units[0].label(), "127.0.0.5 till-07");
    EXPECT_EQ(inv.units[0].groups, (std::vector<std::string>{"shop-north", "tills"}));
    EXPECT_EQ(inv.units[0].line, 3);
    EXPECT_EQ(inv.units[0].text, "127.0.0.5 till-07 shop-north tills");
    EXPECT_EQ(inv.units[1].label(), "127.0.0.6");
    EXPECT_EQ(inv.units[1].fileStem(), "127.0.0.6");
    EXPECT_EQ(inv.units[2].fileStem(), "scale-1");
    EXPECT_EQ(inv.units[2].line, 5);

    auto tills = selectGroups(inv.units, {"tills", "scales"});
    ASSERT_EQ(tills.size(), 2u);
    EXPECT_EQ(tills[1].name, "scale-1");
    EXPECT_TRUE(selectGroups(inv.units, {"none"}).empty());
    EXPECT_EQ(selectGroups(inv.units, {}).size(), 3u);
}

TEST(Inventory, EveryFaultIsReportedWithItsLine) {
    Inventory inv = parseInventory(
        "127.0.0.5 a\n"
        "no-such-host.invalid b\n"
        "127.000.0.5 c\n"
        "127.0.0.6 A\n"
        "127.0.0.7 ../x\n"
        "127.0.0.8 127.0.0.9\n"
        "127.0.0.9\n" +
            std::string("127.0.0.10 ") + std::string(kLongestStem + 1, 'n') + "\n" + "127.0.0.11 " +
            std::string(kLongestStem, 'm') + "\n",
        "inv.txt");
    EXPECT_EQ(inv.errors,
              (std::vector<std::string>{
                  "inv.txt:3: 127.000.0.5 (127.0.0.5) is already listed at line 1",
                  "inv.txt:4: 'A' names another unit at line 1 too (backup files are named by it)",
                  "inv.txt:5: name '../x' may hold only letters, digits, '.', '_' and '-' and "
                  "may not start with '.'",
                  "inv.txt:7: '127.0.0.9' names another unit at line 6 too (backup files are "
                  "named by it)",
                  "inv.txt:8: 'nnnnnnnnnnnnnnnnnnnn...' has 201 characters; a unit's name (or "
                  "address) names its backup file and may have at most 200",
              }));
    // A name that does not resolve is no fault of the file: that unit fails
    // alone when the run reaches it.
    ASSERT_FALSE(inv.units.empty());
    EXPECT_EQ(inv.units[1].address, "no-such-host.invalid");
    EXPECT_FALSE(inv.units[1].resolved);
}

TEST(Inventory, AddressesTakeAPortThatGoesWithTheUnit) {
    struct Case {
        const char* line;
        const char* target;  // empty: a fault
        const char* stem;
    } cases[] = {
        {"127.0.0.5:10001", "127.0.0.5:10001", "127.0.0.5_10001"},
        {"127.0.0.5:10001 till", "127.0.0.5:10001", "till"},
        {"127.0.0.5", "127.0.0.5", "127.0.0.5"},
        {"127.0.0.5:0", "", ""},
        {"127.0.0.5:65536", "", ""},
        {"127.0.0.5:-1", "", ""},
        {":80", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Inventory inv = parseInventory(std::string(c.line) + "\n", "inv.txt");
        if (*c.target == '\0') {
            EXPECT_EQ(inv.errors.size(), 1u);
            continue;
        }
        ASSERT_EQ(inv.units.size(), 1u);
        EXPECT_EQ(inv.units[0].target(), c.target);
        EXPECT_EQ(inv.units[0].fileStem(), c.stem);
    }
    // One address on two ports is two units; the same port twice is one.
    EXPECT_TRUE(
        parseInventory("127.0.0.5:10001\n127.0.0.5:10002\n127.0.0.5\n", "i").errors.empty());
    EXPECT_EQ(parseInventory("127.0.0.5\n127.0.0.5:1283\n", "i").errors.size(), 1u);
}

TEST(Inventory, AByteOrderMarkAndCrlfLinesReadAsPlainLines) {
    std::string plain = "127.0.0.5 till-07 tills\n127.0.0.6\n";
    for (std::string text : {plain, "\xEF\xBB\xBF" + plain,
                             std::string("\xEF\xBB\xBF"
                                         "127.0.0.5 till-07 tills\r\n127.0.0.6\r\n")}) {
        Inventory inv = parseInventory(text, "inv.txt");
        ASSERT_TRUE(inv.errors.empty()) << inv.errors[0];
        ASSERT_EQ(inv.units.size(), 2u);
        EXPECT_EQ(inv.units[0].address, "127.0.0.5");
        EXPECT_EQ(inv.units[0].text, "127.0.0.5 till-07 tills");
        EXPECT_EQ(inv.units[1].fileStem(), "127.0.0.6");
    }
}

}  // namespace
}  // namespace unitfleet
