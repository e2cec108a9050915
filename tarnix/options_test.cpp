#include "tarnix/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tarnix {
namespace {

Settings parse(std::vector<std::string_view> args) { return parseArguments(args); }

TEST(TarnixOptions, DefaultsWithoutArguments) {
    Settings s = parse({});
    EXPECT_EQ(s.target, "");
    EXPECT_EQ(s.iniFile, "Tarnix.ini");
    EXPECT_EQ(s.verbose, 0);
    EXPECT_FALSE(s.setFromIni || s.commit || s.restart || s.showUsage);
    EXPECT_EQ(s.replyTimeout.count(), 10000);
}

TEST(TarnixOptions, DashOrSlashAnyCaseValueGlued) {
    Settings s = parse({"/V", "-v", "-S", "/c", "-R", "-FNew.ini", "/iUnitID=Wistrel5",
                        "-GUnitID", "unit7"});
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

TEST(TarnixOptions, UsageTextIsExact) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    printUsage(file);
    std::rewind(file);
    std::string text;
    char chunk[256];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    std::fclose(file);
    EXPECT_EQ(text,
              "\n Version 6.20\n"
              "\nTarnix [options] [IPAddress]\n"
              "  -v verbose operation\n"
              "  -s set modes according to tarnix.ini\n"
              "  -c commit to permanent storage\n"
              "  -r restart unit when complete\n"
              "  -f specify an .ini file, e.g. -fNewModes.ini \n"
              "  -i set a single mode, e.g. -iUnitID=Wistrel5\n"
              "  -g get a single mode, e.g. -gUnitID\n"
              "  -l send literal text\n"
              "  IP address of unit obtained from tarnix.ini if not specified.\n"
              "\nDefault operation is to list the modes and values of the specified unit.\n\n");
}

}  // namespace
}  // namespace tarnix
