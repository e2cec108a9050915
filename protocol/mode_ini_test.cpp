// SPDX-License-Identifier: Apache-2.0
#include "protocol/mode_ini.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace protocol {
namespace {



ModeTable sampleTable() {
    ModeTable table;
    table.parseDefinitions(
        "UnitID = STRING, 16 Name\r\n"
        "TextReset = BOOLEAN\r\n"
        "POSTimeout = INTEGER\r\n"
        "ServerType = STRING, 8\r\n"
        "DateTime = STRING, 20\r\n"
        "ProductName = STRING, 20\r\n"
        "buildInfo = STRING, 40\r\n"
        "Commit = BOOLEAN\r\n"
        "Restart = BOOLEAN\r\n"
        "Greeting = STRING, 40\r\n");
    return table;
}

TEST(ModeIni, TargetIpIsTheFirstExactEntryAndEndsAtAComma) {
    struct Case {
        const char* text;
        std::optional<std::string> target;
    } cases[] = {
        {"TargetIP=10.0.0.227\r\n", "10.0.0.227"},
        {"# head\nTargetIP = 10.0.0.5 \t\nTargetIP=10.0.0.6\n", "10.0.0.5"},
        {"TargetIP\t10.0.0.7,port 9\n", "10.0.0.7"},
        {"TargetIPX=10.0.0.8\nTarget=10.0.0.9\ntargetip=10.0.0.10\n", std::nullopt},
        {"TargetIPX=10.0.0.8\nTargetIP=unit4   \n", "unit4"},
        {"", std::nullopt},
        {"TargetIP=", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(findTargetIp(c.text), c.target) << c.text;
}

TEST(ModeIni, ValuesOfKnownModesAreFlaggedExceptNotSet) {
    ModeTable table = sampleTable();
    auto longName = applyIniValues(table,
                                   "TargetIP = 10.0.0.1\n"
                                   "# ***  Current Content  ***\n"
                                   "unitid     = Wistrel 5   \n"
                                   "POSTimeout = (not set)\n"
                                   "Greeting   = (Not Set)  \n"
                                   "NoSuchMode = 4\n"
                                   "ServerType\tTCP\ttrailing\n");
    EXPECT_FALSE(longName);
    const auto& r = table.records();
    EXPECT_TRUE(r[0].setInIni);
    EXPECT_EQ(r[0].iniValue, "Wistrel 5");  // inner space kept, trailing removed
    EXPECT_FALSE(r[2].setInIni);
    EXPECT_FALSE(r[2].iniValue);
    EXPECT_FALSE(r[9].setInIni);  // padded "(Not Set)" is still not a value
    EXPECT_TRUE(r[3].setInIni);
    EXPECT_EQ(r[3].iniValue, "TCP");  // a tab ends the value
}

TEST(ModeIni, LongEntryNameStopsReading) {
    ModeTable table = sampleTable();
    std::string name49(49, 'a'), name50(50, 'b');
    EXPECT_FALSE(applyIniValues(table, name49 + "=1\nUnitID=x\n"));
    EXPECT_TRUE(table.records()[0].setInIni);

    table = sampleTable();
    auto longName = applyIniValues(table, name50 + "c=1\nUnitID=x\n");
    ASSERT_TRUE(longName);
    EXPECT_EQ(*longName, name50 + "c");
    EXPECT_FALSE(table.records()[0].setInIni);
}

TEST(ModeIni, PlanSkipsFixedModesAndDefersTextResetThenServerType) {
    ModeTable table = sampleTable();
    applyIniValues(table,
                   "ServerType=TCP\nTEXTRESET=TRUE\nUnitID=U1\nDateTime=now\n"
                   "productname=P\nBUILDINFO=b\ncommit=TRUE\nRestart=TRUE\nGreeting=Hi there\n");
    SetPlan plan = planSets(table);
    EXPECT_EQ(plan.lines, (std::vector<std::string>{"UnitID = U1", "Greeting = Hi there"}));
    EXPECT_EQ(plan.textReset, "TextReset = TRUE");  // the unit's spelling of the name
    EXPECT_EQ(plan.serverType, "ServerType = TCP");
}

TEST(ModeIni, ReadsTheWholeFileToItsFirstZeroByte) {
    char path[] = "/tmp/tarnix_ini_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string content = "TargetIP=1.2.3.4\n";
    content += std::string(200000, 'x');  // longer than the frame buffer
    content += '\0';
    content += "after";
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    auto text = readIniText(path);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), content.find('\0'));
    EXPECT_EQ(findTargetIp(*text), "1.2.3.4");
    std::remove(path);
    EXPECT_FALSE(readIniText(path));
}

}  // namespace
}  // namespace protocol
