#include "unitfleet/mode_plan.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

protocol::ModeTable unitTable() {
    protocol::ModeTable table;
    table.parseDefinitions(
        "UnitID = STRING,16\r\nServerType = STRING,8\r\nPOSTimeout = INTEGER\r\n"
        "TextReset = STRING,64\r\nDateTime = STRING,19\r\nDHCP = BOOLEAN\r\n");
    table.fillValues(
        "UnitID = U1\r\nServerType = NOMINAL\r\nPOSTimeout = 10\r\nTextReset = Hi\r\n"
        "DateTime = 2026-01-01 00:00:00\r\nDHCP = FALSE\r\n",
        &protocol::ModeRecord::nvram);
    return table;
}

TEST(ModePlan, ChangesInSendingOrderSkippingEqualFixedAndUnknownModes) {
    auto changes = plannedChanges(unitTable(),
                                  "TargetIP = 10.0.0.1\n"
                                  "ServerType = TRIVIAL\n"
                                  "TextReset = Welcome\n"
                                  "POSTimeout = 30\n"
                                  "DHCP = FALSE   \n"        // equal once trimmed
                                  "DateTime = 2030-01-01\n"  // never set
                                  "Missing = 1\n"            // not on this unit
                                  "UnitID = (Not Set)\n");
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(setLine(changes[0]), "POSTimeout = 30");
    EXPECT_EQ(changes[0].unitValue, "10");
    EXPECT_EQ(changes[1].mode, "TextReset");
    EXPECT_EQ(changes[2].mode, "ServerType");
}

TEST(ModePlan, ValuesCompareByteForByteSoACaseOnlyChangeIsSet) {
    struct Case {
        const char* ini;
        bool change;
    } cases[] = {
        {"DHCP = FALSE\n", false},    {"DHCP = false\n", true},    {"TextReset = hi\n", true},
        {"TextReset = Hi \n", false}, {"TextReset = Hi!\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        auto changes = plannedChanges(unitTable(), c.ini);
        EXPECT_EQ(changes.size(), c.change ? 1u : 0u);
    }
}

TEST(ModePlan, IniFaultsCarryLineNumbers) {
    std::string longName(50, 'N');
    std::string longValue(250, 'v');
    auto errors = checkIni("# listing\nTargetIP = 1.2.3.4\nUnitID = a\n" + longName +
                               " = 1\nTextReset = " + longValue + "\n\nunitid = b\n",
                           "m.ini");
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "m.ini:4: mode name 'NNNNNNNNNNNNNNNNNNNN...' has 50 characters; at "
                          "most 49",
                          "m.ini:5: the line for TextReset is longer than 255 characters",
                          "m.ini:7: unitid is set again (first at line 3)",
                      }));
    EXPECT_EQ(checkIni("# nothing\nTargetIP = 1.2.3.4\n", "e.ini"),
              std::vector<std::string>{"e.ini: sets no modes"});
    EXPECT_TRUE(
        checkIni("\n\n# ***  Current Content  ***\n\nTargetIP = 1\nA    = \nB = x\n", "l").empty());
}

}  // namespace
}  // namespace unitfleet
