// SPDX-License-Identifier: Apache-2.0
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
    auto changes =
        plannedChanges(unitTable(), iniSettings("TargetIP = 10.0.0.1\n"
                                                "ServerType = TRIVIAL\n"
                                                "TextReset = Welcome\n"
                                                "POSTimeout = 30\n"
                                                "DHCP = FALSE   \n"        // equal once trimmed
                                                "DateTime = 2030-01-01\n"  // never set
                                                "Missing = 1\n"            // not on this unit
                                                "UnitID = (Not Set)\n"));
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
        auto changes = plannedChanges(unitTable(), iniSettings(c.ini));
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

TEST(ModePlan, NamesAndValuesAreDataNeverSyntax) {
    struct Case {
        ModeSetting setting;
        const char* fault;  // empty: none
    } cases[] = {
        {{"TextReset", "Hello\nBacklight = 5", 0}, "m: the value of TextReset holds CR, LF or NUL"},
        {{"TextReset", "a\rb", 0}, "m: the value of TextReset holds CR, LF or NUL"},
        {{"TextReset", std::string("a\0b", 3), 0}, "m: the value of TextReset holds CR, LF or NUL"},
        {{"Backlight = 5", "x", 0}, "m: mode name 'Backlight = 5' holds '=', CR, LF or NUL"},
        {{"A\nB", "x", 0}, "m: mode name 'A\\x0AB' holds '=', CR, LF or NUL"},
        {{" A", "x", 0}, "m: mode name ' A' starts or ends with a blank"},
        {{"A\t", "x", 0}, "m: mode name 'A\t' starts or ends with a blank"},
        {{"", "x", 0}, "m: a mode name is empty"},
        {{"TextReset", "Hi = there\t", 4}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting.name);
        std::vector<std::string> faults = checkSettings({c.setting}, "m");
        if (*c.fault == '\0')
            EXPECT_TRUE(faults.empty()) << faults[0];
        else
            EXPECT_EQ(faults, std::vector<std::string>{c.fault});
    }
}

TEST(ModePlan, UnknownModesAreNamedWithACloseOne) {
    protocol::ModeTable table = unitTable();
    auto settings = iniSettings("POSTimeot = 5\nDHCP = TRUE\nCompletelyOther = 1\n");
    EXPECT_EQ(unknownModes(table, settings),
              (std::vector<std::string>{"POSTimeot", "CompletelyOther"}));
    EXPECT_EQ(noModeText(table, "POSTimeot"),
              "the unit has no mode POSTimeot (did you mean POSTimeout?)");
    EXPECT_EQ(noModeText(table, "posttimeout"),
              "the unit has no mode posttimeout (did you mean POSTimeout?)");
    EXPECT_EQ(noModeText(table, "CompletelyOther"), "the unit has no mode CompletelyOther");
    EXPECT_EQ(noModeText(table, "ID"), "the unit has no mode ID");  // too short to guess
}

TEST(ModePlan, ValuesFitTheTypeTheUnitDeclares) {
    protocol::ModeTable table = unitTable();
    struct Case {
        const char* mode;
        const char* value;
        const char* fault;
    } cases[] = {
        {"POSTimeout", "30", ""},
        {"POSTimeout", "-5", ""},
        {"POSTimeout", "abc", "POSTimeout takes a decimal integer, not 'abc'"},
        {"POSTimeout", "", "POSTimeout takes a decimal integer, not ''"},
        {"POSTimeout", "1e3", "POSTimeout takes a decimal integer, not '1e3'"},
        {"POSTimeout", "99999999999", "POSTimeout takes a decimal integer, not '99999999999'"},
        {"DHCP", "TRUE", ""},
        {"DHCP", "maybe", "DHCP takes TRUE or FALSE, not 'maybe'"},
        {"DHCP", "true", "DHCP takes TRUE or FALSE, not 'true'"},
        {"ServerType", "TRIVIAL", ""},
        {"ServerType", "TRIVIALLY", "ServerType holds at most 8 characters, not 9"},
        {"UnitID", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " = " + c.value);
        int i = table.findMode(c.mode);
        ASSERT_GE(i, 0);
        std::string error;
        EXPECT_EQ(valueFits(table[static_cast<std::size_t>(i)], c.value, error), *c.fault == '\0');
        EXPECT_EQ(error, c.fault);
    }
    // Only values that would be sent count: one the unit holds already is no
    // change, however it is spelt.
    table.fillValues("DHCP = yes\r\n", &protocol::ModeRecord::nvram);
    EXPECT_EQ(valueFaults(table, iniSettings("DHCP = yes\nPOSTimeout = x\n")),
              std::vector<std::string>{"POSTimeout takes a decimal integer, not 'x'"});
}

}  // namespace
}  // namespace unitfleet
