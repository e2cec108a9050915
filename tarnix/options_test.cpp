// SPDX-License-Identifier: Apache-2.0
#include "tarnix/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnix {
namespace {

Settings parse(std::vector<std::string_view> args) {
    return parseArguments(args);
}

TEST(TarnixOptions, DashOrSlashAnyCaseValueGlued) {
    Settings s = parse(
        {"/V", "-v", "-S", "/c", "-R", "-FNew.ini", "/iUnitID=Wistrel5", "-GUnitID", "unit7"});
    EXPECT_EQ(s.verbose, 2);
    EXPECT_TRUE(s.setFromIni);
    EXPECT_TRUE(s.commit);
    EXPECT_TRUE(s.restart);
    EXPECT_EQ(s.iniFile, "New.ini");  // the value keeps its own case
    EXPECT_EQ(s.setText, "UnitID=Wistrel5");
    EXPECT_EQ(s.getText, "UnitID");
    EXPECT_EQ(s.target, "unit7");
}

TEST(TarnixOptions, LaterValuesReplaceEarlierOnes) {
    Settings s = parse({"10.0.0.1", "-fa.ini", "-gA", "10.0.0.2", "-fb.ini", "-gB"});
    EXPECT_EQ(s.target, "10.0.0.2");
    EXPECT_EQ(s.iniFile, "b.ini");
    EXPECT_EQ(s.getText, "B");
}

TEST(TarnixOptions, UnknownLettersAndBareDashAreIgnored) {
    Settings s = parse({"-x", "-Zzz", "-", "/", "host"});
    EXPECT_EQ(s.target, "host");
    EXPECT_FALSE(s.showUsage);
    EXPECT_EQ(s.verbose, 0);
}

TEST(TarnixOptions, QuestionMarkStopsParsing) {
    Settings s = parse({"-v", "/?", "-s", "host"});
    EXPECT_TRUE(s.showUsage);
    EXPECT_EQ(s.verbose, 1);
    EXPECT_FALSE(s.setFromIni);
    EXPECT_EQ(s.target, "");
}

TEST(TarnixOptions, LiteralLosesOnePairOfSurroundingQuotes) {
    struct Case {
        std::string_view arg;
        std::string literal;
    } cases[] = {
        {"-l\"hello world\"", "hello world"},
        {"-l\"\"twice\"\"", "\"twice\""},
        {"-l\"open", "\"open"},
        {"-lclose\"", "close\""},
        {"-l\"", "\""},
        {"-l\"\"", ""},
        {"-lplain", "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse({c.arg}).literal, c.literal) << c.arg;
    }
}

}  // namespace
}  // namespace tarnix
