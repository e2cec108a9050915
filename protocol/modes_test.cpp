// SPDX-License-Identifier: Apache-2.0
#include "protocol/modes.h"

#include <gtest/gtest.h>

namespace protocol {
namespace {

TEST(CountLines, RunsOfLineEndsSeparateLines) {
    EXPECT_EQ(countLines(""), 0u);
    EXPECT_EQ(countLines("A"), 1u);
    EXPECT_EQ(countLines("A\r\n"), 1u);
    EXPECT_EQ(countLines("A\r\n\r\nB\n"), 2u);
    EXPECT_EQ(countLines("\r\nA"), 2u);  // a leading line end counts an empty first line
}

TEST(Definitions, StringSizeTypeAndHelp) {
    ModeTable t;
    t.parseDefinitions(
        "UnitID = STRING,16\tName of the unit\r\n"
        "POSTimeout=INTEGER Seconds before the display resets\r\n"
        "Beep = BOOLEAN\r\n"
        "Note = string , , 24abc   spaced help\r\n");
    ASSERT_EQ(t.count(), 4u);
    EXPECT_EQ(t[0].name, "UnitID");
    EXPECT_EQ(t[0].type, "STRING");
    EXPECT_EQ(t[0].size, 16);
    EXPECT_EQ(t[0].help, "Name of the unit");
    EXPECT_EQ(t[1].name, "POSTimeout");
    EXPECT_EQ(t[1].type, "INTEGER");
    EXPECT_EQ(t[1].size, 0);
    EXPECT_EQ(t[1].help, "Seconds before the display resets");
    EXPECT_EQ(t[2].help, "");
    EXPECT_EQ(t[3].type, "string");
    EXPECT_EQ(t[3].size, 24);
    EXPECT_EQ(t[3].help, "spaced help");
    EXPECT_FALSE(t[0].nvram.has_value());
}

TEST(Definitions, SizeWithoutDigitsIsZeroAndCommaEndsOtherTypes) {
    ModeTable t;
    t.parseDefinitions("A = STRING,x help\nB = INTEGER,5 more\n");
    EXPECT_EQ(t[0].size, 0);
    EXPECT_EQ(t[0].help, "help");
    EXPECT_EQ(t[1].type, "INTEGER");
    EXPECT_EQ(t[1].size, 0);
    EXPECT_EQ(t[1].help, ",5 more");
}

TEST(Definitions, SizeTokenIsCutToTheLimit) {
    ModeTable t;
    NameLimits limits;
    limits.sizeToken = 2;
    t.parseDefinitions("A = STRING,1234 h\n", limits);
    EXPECT_EQ(t[0].size, 12);
    t.parseDefinitions("A = STRING,99999999999999\n");
    EXPECT_EQ(t[0].size, INT32_MAX);
}

TEST(Definitions, ANameRunningAcrossALineEndLeavesEmptyRecords) {
    ModeTable t;
    t.parseDefinitions("Alpha\r\nBeta = INTEGER\r\n");
    ASSERT_EQ(t.count(), 2u);
    EXPECT_EQ(t[0].name, "Alpha\r\nBeta");
    EXPECT_EQ(t[1].name, "");
    EXPECT_EQ(t.findMode(""), -1);
}

TEST(Definitions, EmptyReplyGivesNoModesAndReplacesTheTable) {
    ModeTable t;
    t.parseDefinitions("A = INTEGER\n");
    t.parseDefinitions("");
    EXPECT_EQ(t.count(), 0u);
    EXPECT_EQ(t.findMode("A"), -1);
}

TEST(FindMode, IgnoresCaseAndFirstEqualNameWins) {
    ModeTable t;
    t.parseDefinitions("UnitID = INTEGER first\nunitid = INTEGER second\n#x = INTEGER\n");
    EXPECT_EQ(t.findMode("UNITID"), 0);
    EXPECT_EQ(t.findMode("unitid"), 0);
    EXPECT_EQ(t.findMode("#x"), -1);
    EXPECT_EQ(t.findMode(" UnitID"), -1);
    EXPECT_EQ(t.findMode(""), -1);
    EXPECT_EQ(t.findMode("Unit"), -1);
}

TEST(Values, TrailingSpacesGoInnerSpacesStayTabEnds) {
    ModeTable t;
    t.parseDefinitions("A = STRING,9\nB = STRING,9\nC = STRING,9\nD = INTEGER\n");
    t.fillValues("A = one two   \r\nb=\tx\tnext = y\r\n  C  ==  last\r\nZ = unknown\r\nD = \r\n",
                 &ModeRecord::nvram);
    EXPECT_EQ(*t[0].nvram, "one two");
    EXPECT_EQ(*t[1].nvram, "x");
    EXPECT_EQ(*t[2].nvram, "last");
    ASSERT_TRUE(t[3].nvram.has_value());
    EXPECT_EQ(*t[3].nvram, "");
}

TEST(Values, FillTheChosenFieldAndLaterEntriesReplace) {
    ModeTable t;
    t.parseDefinitions("A = INTEGER\n");
    t.fillValues("A = 1\r\nA = 2\r\n", &ModeRecord::newValue);
    EXPECT_FALSE(t[0].nvram.has_value());
    EXPECT_EQ(*t[0].newValue, "2");
}

TEST(Values, EmptyReplyChangesNothing) {
    ModeTable t;
    t.parseDefinitions("A = INTEGER\n");
    EXPECT_FALSE(t.fillValues("", &ModeRecord::nvram).has_value());
    EXPECT_FALSE(t[0].nvram.has_value());
}

TEST(Values, LongNamesAreCutForLookupOrReported) {
    std::string longName(300, 'n');
    ModeTable t;
    t.parseDefinitions(std::string(255, 'n') + " = INTEGER\n");
    t.fillValues(longName + " = 5\r\n", &ModeRecord::nvram);
    EXPECT_EQ(*t[0].nvram, "5");

    NameLimits tarnix;
    tarnix.fatalAt = 50;
    auto reported =
        t.fillValues("A = 1\r\n" + std::string(50, 'm') + " = 2\r\n", &ModeRecord::nvram, tarnix);
    ASSERT_TRUE(reported.has_value());
    EXPECT_EQ(*reported, std::string(50, 'm'));
    EXPECT_FALSE(t.fillValues(std::string(49, 'm') + " = 2\r\n", &ModeRecord::nvram, tarnix));
}

TEST(Values, NamesEndOnlyAtSpaceEqualsOrTab) {
    ModeTable t;
    t.parseDefinitions("C = INTEGER\n");
    // "y\r\n" is one name, so "C" is taken as its value, not as a name.
    t.fillValues("y\r\n C = 1", &ModeRecord::nvram);
    EXPECT_FALSE(t[0].nvram.has_value());
}

TEST(EntryReader, ExtraValueEndsApplyPerEntry) {
    EntryReader r("TargetIP = 10.0.0.1,port=\r\nA = b,c\r\n");
    std::string_view name;
    ASSERT_TRUE(r.nextName(name));
    EXPECT_EQ(name, "TargetIP");
    EXPECT_EQ(r.value(","), "10.0.0.1");
    ASSERT_TRUE(r.nextName(name));
    EXPECT_EQ(name, ",port");
    EXPECT_EQ(r.value(), "");
    ASSERT_TRUE(r.nextName(name));
    EXPECT_EQ(name, "A");
    EXPECT_EQ(r.value(), "b,c");
    EXPECT_FALSE(r.nextName(name));
}

TEST(OneModeValue, SkipsTheNameAndEndsAtTab) {
    EXPECT_EQ(oneModeValue("UnitID = Wistrel5\r\n"), "Wistrel5");
    EXPECT_EQ(oneModeValue("UnitID==\t a b\tc"), "a b");
    EXPECT_EQ(oneModeValue("UnitID"), "");
    EXPECT_EQ(oneModeValue(""), "");
}

// Tables far larger than one batch of lookups, with duplicate names in odd
// case: the first record of a name wins, every name is found, and a fatal
// name deep in a value reply stops the fill after the values before it.
TEST(ModeTableIndex, LargeTablesFindEveryNameAndStopAtAFatalOne) {
    std::string definitions, values;
    const int kModes = 5000;
    for (int i = 0; i < kModes; ++i) {
        definitions += "Mode" + std::to_string(i) + " = INTEGER\r\n";
        values += "MODE" + std::to_string(kModes - 1 - i) + " = " + std::to_string(i) + "\r\n";
    }
    definitions += "mode7 = STRING,4\r\n";  // a second "Mode7": never found
    ModeTable table;
    table.parseDefinitions(definitions);
    ASSERT_EQ(table.count(), static_cast<std::size_t>(kModes + 1));
    for (int i = 0; i < kModes; ++i) ASSERT_EQ(table.findMode("mODE" + std::to_string(i)), i);
    EXPECT_EQ(table.findMode("Mode5000"), -1);
    NameLimits limits;
    limits.fatalAt = 10;
    std::string withFatal = values.substr(0, values.find("MODE4960 ")) + "ModeTooLongName = 1\r\n";
    EXPECT_EQ(table.fillValues(withFatal + values, &ModeRecord::nvram, limits), "ModeTooLongName");
    EXPECT_EQ(table[kModes - 1].nvram, "0");
    EXPECT_EQ(table[4961].nvram, "38");
    EXPECT_EQ(table[4960].nvram, std::nullopt);
    EXPECT_EQ(table[7].nvram, std::nullopt);
}

}  // namespace
}  // namespace protocol
