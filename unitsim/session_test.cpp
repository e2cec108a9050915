// SPDX-License-Identifier: Apache-2.0
#include "unitsim/session.h"

#include <gtest/gtest.h>

#include "protocol/modes.h"
#include "unitsim/modefile.h"

namespace unitsim {
namespace {

using protocol::FrameType;

class UnitsimSessionTest : public ::testing::Test {
  protected:
    ModeStore store{defaultModes()};
    SessionFlags flags;
    Faults faults;

    Answer ask(std::string_view query) { return answerQuery(query, store, flags, faults); }
    void forceAll() { flags.forceResponse = flags.forceError = flags.forceHelpText = true; }
    std::string current(const char* name) { return store[store.find(name)].value; }
};

TEST_F(UnitsimSessionTest, ForceLinesInBothFormsSetTheConnectionFlags) {
    EXPECT_TRUE(ask("ForceResponse=TRUE").reply);  // answered: the flag is now on
    EXPECT_TRUE(flags.forceResponse);
    Answer a = ask("ForceError = true");
    EXPECT_TRUE(flags.forceError);
    EXPECT_EQ(a.text, "ForceError = TRUE");
    ask("ForceHelpText=TRUE");
    EXPECT_TRUE(flags.forceHelpText);
    a = ask("ForceHelpText=FALSE");
    EXPECT_FALSE(flags.forceHelpText);
    EXPECT_EQ(a.type, FrameType::ModeResponse);
    EXPECT_EQ(ask("forceHelpText").text, "forceHelpText = FALSE\r\n");
    a = ask("ForceResponse=maybe");
    EXPECT_EQ(a.type, FrameType::ErrReport);
    EXPECT_TRUE(flags.forceResponse);
    EXPECT_FALSE(ask("ForceResponse=FALSE").reply);  // off: the set itself goes unanswered
}

TEST_F(UnitsimSessionTest, DefinitionsParseIntoTheRecordsOfTheTable) {
    forceAll();
    protocol::ModeTable table;
    table.parseDefinitions(ask("").text);
    ASSERT_EQ(table.count(), store.size());
    for (std::size_t i = 0; i < store.size(); ++i) {
        const ModeDef& def = store[static_cast<int>(i)];
        SCOPED_TRACE(def.name);
        EXPECT_EQ(table[i].name, def.name);
        EXPECT_EQ(table[i].type, def.type);
        EXPECT_EQ(table[i].size, def.size);
        EXPECT_EQ(table[i].help, def.help);
    }
    table.fillValues(ask("*").text, &protocol::ModeRecord::nvram);
    for (std::size_t i = 0; i < store.size(); ++i) {
        const ModeDef& def = store[static_cast<int>(i)];
        bool isFlag = def.name.rfind("force", 0) == 0;
        EXPECT_EQ(table[i].nvram.value_or("(none)"), isFlag ? "TRUE" : def.value) << def.name;
    }
    EXPECT_EQ(protocol::oneModeValue(ask("unitid").text), "UNIT0001");
}

TEST_F(UnitsimSessionTest, HelpTextsOnlyWhileForceHelpTextIsOn) {
    std::string plain = ask("").text;
    EXPECT_EQ(plain.find('\t'), std::string::npos);
    EXPECT_EQ(plain.substr(0, 20), "UnitID = STRING,16\r\n");
    EXPECT_NE(plain.find("\r\nDHCP = BOOLEAN\r\n"), std::string::npos);
    flags.forceHelpText = true;
    EXPECT_EQ(ask("").text.substr(0, 54),
              "UnitID = STRING,16\tName the unit reports to its host\r\n");
}

TEST_F(UnitsimSessionTest, SetsInBothFormsAndTheirRefusals) {
    forceAll();
    struct Case {
        const char* line;
        FrameType type;
        const char* text;
    } cases[] = {
        {"UnitID = Wistrel5", FrameType::ModeResponse, "UnitID = Wistrel5"},
        {"unitid=Wistrel6", FrameType::ModeResponse, "UnitID = Wistrel6"},
        {"TextReset = Hello there", FrameType::ModeResponse, "TextReset = Hello there"},
        {"UnitID=1234567890123456", FrameType::ModeResponse, "UnitID = 1234567890123456"},
        {"UnitID=12345678901234567", FrameType::ErrReport,
         "Value for UnitID has 17 characters; at most 16 allowed"},
        {"NoSuchMode = 1", FrameType::ErrReport, "Unknown mode: NoSuchMode"},
        {"ProductName=x", FrameType::ErrReport, "Mode ProductName is read-only"},
        {"UnitStatus = BAD", FrameType::ErrReport, "Mode UnitStatus is read-only"},
        {"= 5", FrameType::ErrReport, "Set line without a mode name"},
        {"NoSuchMode", FrameType::ErrReport, "Unknown mode: NoSuchMode"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Answer a = ask(c.line);
        EXPECT_TRUE(a.reply);
        EXPECT_EQ(a.type, c.type);
        EXPECT_EQ(a.text, c.text);
    }
    EXPECT_EQ(current("UnitID"), "1234567890123456");
    EXPECT_EQ(current("ProductName"), "DT-500 Data Terminal");
}

TEST_F(UnitsimSessionTest, FaultRefusedModeIsRefusedWhateverTheValue) {
    forceAll();
    faults.refusedModes = {"postimeout"};
    Answer a = ask("POSTimeout=999999");
    EXPECT_EQ(a.type, FrameType::ErrReport);
    EXPECT_EQ(a.text, "Mode POSTimeout refused the value");
    EXPECT_EQ(current("POSTimeout"), "10");
}

TEST_F(UnitsimSessionTest, WithoutForceFlagsSetsAreSilentAndErrorsComeAsModeResponses) {
    EXPECT_FALSE(ask("POSTimeout=0").reply);
    EXPECT_EQ(current("POSTimeout"), "0");
    EXPECT_FALSE(ask("COMMIT=TRUE").reply);
    Answer a = ask("ProductName=x");
    EXPECT_TRUE(a.reply);
    EXPECT_EQ(a.type, FrameType::ModeResponse);
    EXPECT_EQ(a.text, "Mode ProductName is read-only");
    EXPECT_TRUE(ask("UnitStatus").reply);  // queries are always answered
    EXPECT_EQ(ask("UnitStatus").text, "UnitStatus = OK\r\n");
}

TEST_F(UnitsimSessionTest, CommitKeepsValuesThatRestartDoesNotDrop) {
    forceAll();
    ask("UnitID = Kept");
    EXPECT_EQ(ask("Commit = TRUE").text, "Commit = TRUE");
    EXPECT_EQ(store.committed(store.find("UnitID")), "Kept");
    ask("UnitID=Lost");
    ask("POSTimeout = 77");
    Answer a = ask("RESTART=TRUE");
    EXPECT_TRUE(a.restart);
    EXPECT_FALSE(a.reply);
    store.dropUncommitted();
    EXPECT_EQ(current("UnitID"), "Kept");
    EXPECT_EQ(current("POSTimeout"), "10");
    EXPECT_FALSE(ask("Restart = FALSE").restart);
    EXPECT_EQ(ask("COMMIT=yes").type, FrameType::ErrReport);
}

TEST_F(UnitsimSessionTest, DriftingModeChangesAfterEveryRead) {
    faults.driftingMode = "POSTimeout";
    EXPECT_EQ(ask("POSTimeout").text, "POSTimeout = 10\r\n");
    EXPECT_EQ(ask("POSTimeout").text, "POSTimeout = 11\r\n");
    EXPECT_NE(ask("*").text.find("POSTimeout = 12\r\n"), std::string::npos);
    faults.driftingMode = "UnitID";
    EXPECT_EQ(ask("UnitID").text, "UnitID = UNIT0001\r\n");
    EXPECT_EQ(ask("UnitID").text, "UnitID = UNIT0001~1\r\n");
    EXPECT_EQ(ask("UnitID").text, "UnitID = UNIT0001~2\r\n");
    // Never longer than the mode may hold.
    flags.forceResponse = true;
    ask("UnitID=ABCDEFGHIJKLMNOP");
    ask("UnitID");
    EXPECT_LE(current("UnitID").size(), 16u);
}

// Many units share one table; each one's identity lies over it, through
// sets, commits and restarts alike.
TEST(UnitsimModeStore, OwnValuesOverASharedTable) {
    auto shared = std::make_shared<const ModeStore::Table>(defaultModes());
    UnitIdentity own{std::make_shared<const std::string>("TILL%04d"), 2, 0x7F000102};
    ModeStore a(shared, own);
    ModeStore b(shared);
    int id = a.find("UnitID"), mac = a.find("MACAddress"), timeout = a.find("POSTimeout");
    EXPECT_EQ(a.value(id), "TILL0002");
    EXPECT_EQ(a.committed(id), "TILL0002");
    EXPECT_EQ(b.value(id), "UNIT0001");
    a.set(timeout, "30");  // the store takes a table of its own
    EXPECT_EQ(a.value(id), "TILL0002");
    EXPECT_EQ(a.value(mac), "02:00:7F:00:01:02");
    EXPECT_EQ(a.committed(timeout), "10");
    a.set(id, "RENAMED");
    EXPECT_EQ(a.value(id), "RENAMED");
    EXPECT_EQ(a.committed(id), "TILL0002");
    a.dropUncommitted();
    EXPECT_EQ(a.value(id), "TILL0002");
    EXPECT_EQ(a.value(timeout), "10");
    a.set(id, "KEPT");
    a.commit();
    a.dropUncommitted();
    EXPECT_EQ(a.value(id), "KEPT");
    EXPECT_EQ(b.value(id), "UNIT0001");
    EXPECT_EQ((*shared)[id].value, "UNIT0001");
    EXPECT_EQ(a.value(a.find("SerialNumber")), "SN127000001002");

    // A table without the identity modes is left as it is.
    auto small = std::make_shared<const ModeStore::Table>(
        ModeStore::Table{{"POSTimeout", "INTEGER", 0, "", "10", false}});
    ModeStore c(small, own);
    EXPECT_EQ(c.value(0), "10");
    c.set(0, "11");
    EXPECT_EQ(c.value(0), "11");
}

}  // namespace
}  // namespace unitsim
