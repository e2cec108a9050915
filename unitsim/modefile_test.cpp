// SPDX-License-Identifier: Apache-2.0
#include "unitsim/modefile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace unitsim {
namespace {

TEST(UnitsimModeFile, ReadsEveryFieldCommentsAndBlankLines) {
    std::string error;
    auto modes = parseModeText(
        "# my unit\n"
        "\n"
        "UnitID STRING,16 = UNIT7  # name of the unit\r\n"
        "  ProductName  STRING,32  ro  =  Big Terminal 9\n"
        "POSTimeout INTEGER = 10\n"
        "Prefix STRING,8 =   # nothing by default\n"
        "Url STRING,40 = http://x/#frag\n",
        error);
    ASSERT_TRUE(modes) << error;
    ASSERT_EQ(modes->size(), 5u);
    const ModeDef& id = (*modes)[0];
    EXPECT_EQ(id.name, "UnitID");
    EXPECT_EQ(id.type, "STRING");
    EXPECT_EQ(id.size, 16);
    EXPECT_EQ(id.value, "UNIT7");
    EXPECT_EQ(id.help, "name of the unit");
    EXPECT_FALSE(id.readOnly);
    EXPECT_TRUE((*modes)[1].readOnly);
    EXPECT_EQ((*modes)[1].value, "Big Terminal 9");
    EXPECT_EQ((*modes)[2].size, 0);
    EXPECT_EQ((*modes)[2].help, "");
    EXPECT_EQ((*modes)[3].value, "");
    EXPECT_EQ((*modes)[3].help, "nothing by default");
    EXPECT_EQ((*modes)[4].value, "http://x/#frag");
}

TEST(UnitsimModeFile, BadLinesNameTheirLineNumber) {
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"UnitID STRING,16 UNIT7", "line 3: expected 'Name TYPE[,size] [ro] = value'"},
        {"UnitID = x", "line 3: expected a name and a type before '='"},
        {"UnitID STRING = x", "line 3: STRING needs a size, e.g. STRING,16"},
        {"UnitID STRING,abc = x", "line 3: size 'abc' is not a number"},
        {"UnitID STRING,0 = x", "line 3: size must be 1 to 4096"},
        {"Count INTEGER,4 = 1", "line 3: only STRING takes a size"},
        {"UnitID STRING,16 rw = x", "line 3: unknown flag 'rw' (only 'ro' is known)"},
        {"UnitID STRING,3 = toolong", "line 3: value has 7 characters, more than size 3"},
        {"A B ro x = 1", "line 3: too many words before '=' (only 'ro' may follow the type)"},
        {"A BO-OL = 1", "line 3: type 'BO-OL' has a character other than letters, digits and _"},
        {"POSTIMEOUT INTEGER = 5", "line 3: mode POSTIMEOUT twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string error;
        auto modes =
            parseModeText(std::string("# header\nPOSTimeout INTEGER = 1\n") + c.line, error);
        EXPECT_FALSE(modes);
        EXPECT_EQ(error, c.message);
    }
}

TEST(UnitsimModeFile, BuiltInTableSurvivesItsOwnFileFormat) {
    std::vector<ModeDef> modes = defaultModes();
    EXPECT_GE(modes.size(), 30u);
    for (const char* name :
         {"UnitID", "UnitStatus", "POSTimeout", "TextReset", "ServerType", "DateTime",
          "ProductName", "buildInfo", "IPAddress", "HostIP", "HostPort", "forceResponse"}) {
        EXPECT_GE(findModeDef(modes, name), 0) << name;
    }
    std::string error;
    auto again = parseModeText(formatModeText(modes), error);
    ASSERT_TRUE(again) << error;
    ASSERT_EQ(again->size(), modes.size());
    for (std::size_t i = 0; i < modes.size(); ++i) {
        EXPECT_EQ((*again)[i].name, modes[i].name);
        EXPECT_EQ((*again)[i].type, modes[i].type);
        EXPECT_EQ((*again)[i].size, modes[i].size);
        EXPECT_EQ((*again)[i].value, modes[i].value);
        EXPECT_EQ((*again)[i].help, modes[i].help);
        EXPECT_EQ((*again)[i].readOnly, modes[i].readOnly);
    }
}

TEST(UnitsimModeFile, LoadNamesTheFileInItsMessages) {
    std::string error;
    EXPECT_FALSE(loadModeFile("/nonexistent/modes.txt", error));
    EXPECT_EQ(error.rfind("/nonexistent/modes.txt: cannot open", 0), 0u) << error;

    std::string path = ::testing::TempDir() + "unitsim_modes_test.txt";
    std::ofstream(path) << "A INTEGER = 1\nB\n";
    EXPECT_FALSE(loadModeFile(path, error));
    EXPECT_EQ(error, path + ": line 2: expected 'Name TYPE[,size] [ro] = value'");
    std::ofstream(path) << "A INTEGER = 1\n";
    auto modes = loadModeFile(path, error);
    ASSERT_TRUE(modes);
    EXPECT_EQ(modes->at(0).value, "1");
    std::remove(path.c_str());
}

}  // namespace
}  // namespace unitsim
