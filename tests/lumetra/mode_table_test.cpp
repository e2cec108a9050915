// SPDX-License-Identifier: Apache-2.0
// The mode table read at uxOpen, its getters, the enumeration and GetMode.
#include <string>
#include <vector>

#include "tests/lumetra/library_fixture.h"

namespace lumetra_test {
namespace {

class LumetraModeTable : public LibraryTest {
  protected:
    void open(const char* address, UnitScript script = smallUnit()) {
        unit_ = std::make_unique<ScriptedUnit>(address, std::move(script));
        ASSERT_TRUE(unit_->listening());
        count_ = uxOpen(address);
    }
    std::unique_ptr<ScriptedUnit> unit_;
    int count_ = -1;
};

struct Field {
    const char* name;
    std::string type, help, nvram;
    int size;
};

TEST_F(LumetraModeTable, GettersAnswerFromTheDefinitionAndValueReplies) {
    open("127.0.1.30");
    ASSERT_EQ(count_, 4);
    const std::vector<Field> expected = {
        {"UnitID", "STRING", "Name of the unit", "Till 4", 16},
        {"unitid", "STRING", "Name of the unit", "Till 4", 16},  // any case
        {"POSTIMEOUT", "INTEGER", "Seconds before a sale is dropped", "10", 0},
        {"TextReset", "BOOLEAN", "", "TRUE", 0},
        {"ProductName", "STRING", "", "", 32},  // listed without a value
        {"Unknown", "", "", "", 0},             // a value for no mode
        {"#UnitID", "", "", "", 0},
        {" UnitID", "", "", "", 0},
        {"", "", "", "", 0},
    };
    for (const Field& f : expected) {
        EXPECT_EQ(take(GetModeType(f.name)), f.type) << f.name;
        EXPECT_EQ(take(GetModeHelp(f.name)), f.help) << f.name;
        EXPECT_EQ(take(GetNVRamMode(f.name)), f.nvram) << f.name;
        EXPECT_EQ(GetModeSize(f.name), f.size) << f.name;
    }
    EXPECT_EQ(GetModeSize(nullptr), 0);
    EXPECT_EQ(take(GetModeType(nullptr)), "");
    EXPECT_EQ(unit_->frameCount(), 5u);  // the getters send nothing
}

TEST_F(LumetraModeTable, EnumerationRunsInTheUnitsOrderThenStaysEmpty) {
    open("127.0.1.31");
    std::vector<std::string> names = {take(GetFirstModeName())};
    for (int i = 0; i < 3; ++i) names.push_back(take(GetNextModeName()));
    EXPECT_EQ(names,
              (std::vector<std::string>{"UnitID", "POSTimeout", "TextReset", "ProductName"}));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(take(GetNextModeName()), "");
    EXPECT_EQ(take(GetFirstModeName()), "UnitID");
    EXPECT_EQ(take(GetNextModeName()), "POSTimeout");
}

TEST_F(LumetraModeTable, ValuesKeepInnerSpacesAndEndAtATab) {
    open("127.0.1.32", {"A = STRING,40\r\nB = STRING,40\r\n", "A = two  words  \r\nB = x\ty\r\n"});
    EXPECT_EQ(take(GetNVRamMode("A")), "two  words");
    EXPECT_EQ(take(GetNVRamMode("B")), "x");
}

TEST_F(LumetraModeTable, GettersCutTextsAt1023Characters) {
    std::string help(2000, 'h');
    open("127.0.1.33", {"Long = STRING,9 " + help + "\r\n", "Long = " + std::string(1500, 'v')});
    EXPECT_EQ(take(GetModeHelp("Long")), std::string(1023, 'h'));
    EXPECT_EQ(take(GetNVRamMode("Long")), std::string(1023, 'v'));
}

TEST_F(LumetraModeTable, GetModeAsksTheUnitWithTheNameAsGiven) {
    open("127.0.1.34");
    unit_->respond([](const Bytes& frame) {
        return keepAlive() + modeReply(queryText(frame) + " = Till 9  \r\n");
    });
    EXPECT_EQ(take(GetMode("unitid")), "Till 9");
    EXPECT_EQ(take(GetMode("NotInTable")), "Till 9");
    std::vector<Bytes> frames = unit_->frames();
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_EQ(queryText(frames[5]), "unitid");
    EXPECT_EQ(frames[5].size(), 15u);
    EXPECT_EQ(queryText(frames[6]), "NotInTable");
}

TEST_F(LumetraModeTable, GetModeOfARefusedOrMissingNameIsEmpty) {
    open("127.0.1.35");
    unit_->respond([](const Bytes&) { return errorReport("Unknown mode: Nope"); });
    EXPECT_EQ(take(GetMode("Nope")), "");
    EXPECT_EQ(take(GetMode(nullptr)), "");
    EXPECT_EQ(unit_->frameCount(), 6u);
}

TEST_F(LumetraModeTable, ANewOpenReplacesTheTable) {
    open("127.0.1.36");
    ASSERT_EQ(count_, 4);
    uxClose();
    ScriptedUnit other("127.0.1.37", UnitScript{"Only = BOOLEAN\r\n", "Only = FALSE\r\n"});
    EXPECT_EQ(uxOpen("127.0.1.37"), 1);
    EXPECT_EQ(take(GetFirstModeName()), "Only");
    EXPECT_EQ(take(GetNextModeName()), "");
    EXPECT_EQ(take(GetModeType("UnitID")), "");
}

}  // namespace
}  // namespace lumetra_test
