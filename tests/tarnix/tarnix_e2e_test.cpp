// SPDX-License-Identifier: Apache-2.0
// The real Tarnix binary against the simulated unit: exact standard output,
// standard error, exit status and the exact bytes the unit received.
#include <chrono>
#include <map>
#include <thread>

#include "tests/tarnix/unit_fixture.h"

namespace tarnix_test {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

const std::vector<std::string> kOpening = {"ForceResponse=TRUE", "ForceError=TRUE",
                                           "ForceHelpText=FALSE", "", "*"};

const std::string kUsage =
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
    "\nDefault operation is to list the modes and values of the specified unit.\n\n";

Values defaults() {
    Values values;
    for (const unitsim::ModeDef& def : testModes()) values.emplace_back(def.name, def.value);
    return values;
}

Values with(Values values, const std::map<std::string, std::string>& changes) {
    for (auto& [name, value] : values) {
        if (auto it = changes.find(name); it != changes.end())
            value = it->second;
    }
    return values;
}

std::string lines(const Values& values) {
    std::string text;
    for (const auto& [name, value] : values) text += modeLine(name, value);
    return text;
}

std::string current(const std::string& target, const Values& values) {
    return "\n\n# ***  Current Content  ***\n\nTargetIP = " + target + "\n" + lines(values);
}

std::string newContent(const Values& values) {
    return "\n\n# ***  New Content  ***\n\n" + lines(values);
}

// The simulated unit's replies, as the verbose trace shows them.
std::string definitionReply() {
    std::string text;
    for (const unitsim::ModeDef& def : testModes()) {
        text += def.name + " = " + def.type;
        if (def.type == "STRING")
            text += "," + std::to_string(def.size);
        text += "\r\n";
    }
    return text;
}

std::string valueReply(const Values& values) {
    std::string text;
    for (const auto& [name, value] : values) text += name + " = " + value + "\r\n";
    return text;
}

std::string trace(const std::string& query, const std::string& reply, const char* type = "MODR") {
    return "Sending MDSQ " + query + "\nReceived " + type + " " + reply + "\n";
}

std::string openingTrace() {
    return trace("ForceResponse=TRUE", "ForceResponse = TRUE") +
           trace("ForceError=TRUE", "ForceError = TRUE") +
           trace("ForceHelpText=FALSE", "ForceHelpText = FALSE") + trace("", definitionReply()) +
           trace("*", valueReply(defaults()));
}

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class TarnixE2e : public UnitFixture {};

TEST_F(TarnixE2e, PlainListingShowsCurrentContentOnly) {
    unitsim::Unit& unit = startUnit(1);
    support::RunResult r = tarnix({address(1)});
    EXPECT_EQ(r.out, current("127.0.2.1", defaults()));
    EXPECT_NE(r.out.find("\nUnitID         = Wistrel1\n"), std::string::npos);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(queries(unit), kOpening);
}

TEST_F(TarnixE2e, VerboseListingTracesEveryQueryAndShowsEmptyIniSection) {
    startUnit(2);
    support::RunResult r = tarnix({"-v", address(2)});
    EXPECT_EQ(r.out, openingTrace() + current("127.0.2.2", defaults()) +
                         "\n\n# ***  Tarnix.ini Content  ***\n\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_F(TarnixE2e, SetWithoutVerboseShowsNewContentOnly) {
    unitsim::Unit& unit = startUnit(3);
    writeIni("UnitID = Wistrel5\nGreeting=Good day\n");
    support::RunResult r = tarnix({"-s", address(3)});
    EXPECT_EQ(r.out,
              newContent(with(defaults(), {{"UnitID", "Wistrel5"}, {"Greeting", "Good day"}})));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(queries(unit), plus(kOpening, {"UnitID = Wistrel5", "Greeting = Good day", "*"}));
    EXPECT_EQ(unit.value("UnitID"), "Wistrel5");
}

TEST_F(TarnixE2e, VerboseSetShowsEverySectionAndOnlyRealChanges) {
    startUnit(4);
    writeIni(
        "TargetIP = 127.0.2.99\n"
        "unitid = Wistrel5\n"
        "POSTimeout = 30\n"
        "DateTime = 2020-01-01 00:00\n");
    support::RunResult r = tarnix({"-V", "/s", address(4)});
    Values after = with(defaults(), {{"UnitID", "Wistrel5"}});
    std::string expected = openingTrace() + trace("UnitID = Wistrel5", "UnitID = Wistrel5") +
                           trace("POSTimeout = 30", "POSTimeout = 30") +
                           trace("*", valueReply(after)) + current("127.0.2.4", defaults()) +
                           "\n\n# ***  Tarnix.ini Content  ***\n\n" +
                           modeLine("UnitID", "Wistrel5") + modeLine("POSTimeout", "30") +
                           modeLine("DateTime", "2020-01-01 00:00") + newContent(after) +
                           "\n\n# ***  Changes  ***\n\n"
                           "Mode           = NVRam Content, New Content\n\n"
                           "UnitID         = Wistrel1, Wistrel5\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_F(TarnixE2e, NotSetIsNeverSentAndTextResetThenServerTypeGoLast) {
    unitsim::Unit& unit = startUnit(5);
    writeIni(
        "ServerType = UDP\n"
        "TextReset = TRUE\n"
        "UnitID = (Not Set)\n"
        "Greeting = (not set)\n"
        "POSTimeout = 60\n"
        "ProductName = Other\n"
        "buildInfo = b2\n");
    support::RunResult r = tarnix({"-s", address(5)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(queries(unit),
              plus(kOpening, {"POSTimeout = 60", "TextReset = TRUE", "ServerType = UDP", "*"}));
    EXPECT_EQ(r.out, newContent(with(
                         defaults(),
                         {{"POSTimeout", "60"}, {"TextReset", "TRUE"}, {"ServerType", "UDP"}})));
}

TEST_F(TarnixE2e, LongSetLinesAreSentWhole) {
    std::vector<unitsim::ModeDef> modes = testModes();
    modes[3] = {"TextReset", "STRING", 400, "", "Scan please", false};
    modes[8].size = 400;
    unitsim::Unit& unit = startUnit(20, modes);
    std::string greeting(300, 'g');
    std::string idleText = "Welcome, please scan your first item";
    writeIni("TextReset = " + idleText + "\nGreeting = " + greeting + "\n");
    support::RunResult r = tarnix({"-s", address(20)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(queries(unit),
              plus(kOpening, {"Greeting = " + greeting, "TextReset = " + idleText, "*"}));
    EXPECT_EQ(unit.value("Greeting"), greeting);
    EXPECT_EQ(unit.value("TextReset"), idleText);
}

TEST_F(TarnixE2e, RefusedSetShowsAsUnchangedValue) {
    startUnit(6);
    writeIni("Greeting = " + std::string(45, 'g') + "\n");
    support::RunResult r = tarnix({"-v", "-s", address(6)});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nReceived ERR_ "), std::string::npos);
    std::string tail = newContent(defaults()) +
                       "\n\n# ***  Changes  ***\n\n"
                       "Mode           = NVRam Content, New Content\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
}

TEST_F(TarnixE2e, TargetComesFromTheExactTargetIpEntryUpToAComma) {
    startUnit(7);
    writeIni("TargetIPX=127.0.2.98\nTarget=127.0.2.97\nTargetIP=127.0.2.7,unit seven\n");
    support::RunResult r = tarnix({});
    EXPECT_EQ(r.out, current("127.0.2.7", defaults()));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_F(TarnixE2e, ReadOnlyIniFileGivesTargetAndValues) {
    unitsim::Unit& unit = startUnit(8);
    writeIni("TargetIP = 127.0.2.8\nGreeting = Read only\n");
    Unwritable guard(dir_ + "/Tarnix.ini");
    if (!guard.effective())
        GTEST_SKIP() << "cannot make a file unwritable here";
    support::RunResult r = tarnix({"-s"});
    EXPECT_EQ(r.out, newContent(with(defaults(), {{"Greeting", "Read only"}})));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(unit.value("Greeting"), "Read only");
}

TEST_F(TarnixE2e, WithoutAnyTargetTellsHowToGiveOne) {
    const std::string noTarget =
        "\nNo target IPAddress specified.\n"
        "Please specify the Target IPAddress either on the command line,\n"
        "or in the .ini file, e.g. TargetIP=10.0.0.227 \n\n" +
        kUsage;
    struct Case {
        std::string ini;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {"TargetIPX=127.0.2.8\nTarget=127.0.2.8\n", {}, noTarget},
        {"", {"-v"}, noTarget},
        {"TargetIP=127.0.2.8\n",
         {"-fmissing.ini"},
         "File missing.ini could not be opened\n" + kUsage},
    };
    for (const Case& c : cases) {
        writeIni(c.ini);
        support::RunResult r = tarnix(c.args);
        EXPECT_EQ(r.err, c.err) << c.ini;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(TarnixE2e, UsageTextOnQuestionMark) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"-?"}, {"-v", "/?", "127.0.2.9"}}) {
        support::RunResult r = tarnix(args);
        EXPECT_EQ(r.err, kUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(TarnixE2e, LiteralTextGoesOutUnframedWithoutItsQuotes) {
    unitsim::Unit& unit = startUnit(10);
    support::RunResult r = tarnix({"-l\"hello world\"", address(10)});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    ASSERT_TRUE(unit.waitForReceived(1, std::chrono::seconds(5)));
    std::vector<unitsim::Received> received = unit.received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_FALSE(received[0].framed);
    std::string expected("hello world\0", 12);
    EXPECT_EQ(received[0].bytes, std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

TEST_F(TarnixE2e, SingleSetIsSentAloneAndNoReplyAwaited) {
    unitsim::Unit& unit = startUnit(11);
    support::RunResult r = tarnix({"-iUnitID=Wistrel5", address(11)});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    ASSERT_TRUE(unit.waitForReceived(1, std::chrono::seconds(5)));
    EXPECT_EQ(queries(unit), std::vector<std::string>{"UnitID=Wistrel5"});
    for (int i = 0; i < 100 && unit.value("UnitID") != "Wistrel5"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(unit.value("UnitID"), "Wistrel5");
}

TEST_F(TarnixE2e, SingleGetPrintsTheReplyBodyAsItIs) {
    unitsim::Unit& unit = startUnit(12);
    support::RunResult r = tarnix({"-gunitid", address(12)});
    EXPECT_EQ(r.out, "UnitID = Wistrel1\r\n");  // the unit's answer line, CR LF and all
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(queries(unit), (std::vector<std::string>{"ForceResponse=TRUE", "unitid"}));
}

TEST_F(TarnixE2e, CommitWaitsForItsReplyThenRestart) {
    unitsim::Unit& unit = startUnit(13);
    writeIni("Greeting=Saved\n");
    support::RunResult r = tarnix({"-s", "-c", "-r", "-v", address(13)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string ending = "Greeting       = Hello there, Saved\n" +
                         trace("COMMIT=TRUE", "COMMIT = TRUE") + "Sending MDSQ RESTART=TRUE\n";
    ASSERT_GE(r.out.size(), ending.size());
    EXPECT_EQ(r.out.substr(r.out.size() - ending.size()), ending);
    ASSERT_TRUE(unit.waitForReceived(kOpening.size() + 4, std::chrono::seconds(5)));
    EXPECT_EQ(queries(unit),
              plus(kOpening, {"Greeting = Saved", "*", "COMMIT=TRUE", "RESTART=TRUE"}));
    EXPECT_EQ(unit.committedValue("Greeting"), "Saved");
}

TEST_F(TarnixE2e, RefusedConnection) {
    support::RunResult r = tarnix({address(200)});
    EXPECT_EQ(r.out, "Error connecting to node 127.0.2.200\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
}

TEST_F(TarnixE2e, UnresolvableNameExitsWith255) {
    // In a namespace of its own no lookup can leave the machine.
    std::string why;
    if (!support::enterOwnNetworkNamespace(why))
        GTEST_SKIP() << why;
    support::RunResult r = tarnix({"no-such-unit.invalid"});
    EXPECT_EQ(r.out, "DNS lookup failed for host :no-such-unit.invalid\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 255);
}

TEST_F(TarnixE2e, OverLongModeNameFromTheUnitIsFatal) {
    std::vector<unitsim::ModeDef> modes = testModes();
    std::string longName = std::string(50, 'L') + "ongTail";
    modes.push_back({longName, "INTEGER", 0, "", "1", false});
    startUnit(14, modes);
    support::RunResult r = tarnix({address(14)});
    EXPECT_EQ(r.err, "Mode name from unit is over 50 characters: " + std::string(50, 'L') + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
}

TEST_F(TarnixE2e, FortyNineCharacterModeNameIsFine) {
    std::vector<unitsim::ModeDef> modes = testModes();
    std::string name(49, 'n');
    modes.push_back({name, "INTEGER", 0, "", "7", false});
    startUnit(15, modes);
    support::RunResult r = tarnix({address(15)});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(modeLine(name, "7", 53)), std::string::npos);
    EXPECT_NE(r.out.find(modeLine("UnitID", "Wistrel1", 53)), std::string::npos);
}

TEST_F(TarnixE2e, OverLongModeNameInTheIniFileIsFatalBeforeAnySet) {
    unitsim::Unit& unit = startUnit(16);
    writeIni("UnitID=Wistrel5\n" + std::string(60, 'X') + " = 1\n");
    support::RunResult r = tarnix({"-s", address(16)});
    EXPECT_EQ(r.err, "Mode name in ini file is over 50 characters: " + std::string(50, 'X') + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(queries(unit), kOpening);
}

TEST_F(TarnixE2e, MissingIniFileForSetStillReports) {
    unitsim::Unit& unit = startUnit(17);
    support::RunResult r = tarnix({"-s", "-fnothere.ini", address(17)});
    EXPECT_EQ(r.err, "File nothere.ini could not be opened\n");
    EXPECT_EQ(r.out, newContent(defaults()));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(queries(unit), plus(kOpening, {"*"}));
}

TEST_F(TarnixE2e, SavedListingSetsTheSameValuesOnAnotherUnit) {
    std::vector<unitsim::ModeDef> source = testModes();
    std::map<std::string, std::string> changed = {{"UnitID", "Alpha 2"},
                                                  {"POSTimeout", "45"},
                                                  {"TextReset", "TRUE"},
                                                  {"ServerType", "UDP"},
                                                  {"Greeting", "Round trip"}};
    for (unitsim::ModeDef& def : source) {
        if (changed.count(def.name))
            def.value = changed[def.name];
    }
    unitsim::Unit& from = startUnit(18, source);
    unitsim::Unit& to = startUnit(19);
    support::RunResult listing = tarnix({address(18)});
    ASSERT_EQ(listing.status, 0);
    writeIni(listing.out, "saved.ini");

    support::RunResult r = tarnix({"-s", "-fsaved.ini", address(19)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const unitsim::ModeDef& def : testModes()) {
        if (def.readOnly || def.name == "DateTime")
            continue;
        EXPECT_EQ(to.value(def.name), from.value(def.name)) << def.name;
    }
    EXPECT_EQ(to.value("DateTime"), "2026-12-08 01:00");  // never replayed
    // The target named in the listing is the source unit; the command line wins.
    EXPECT_EQ(from.connections(), 1);
}

}  // namespace
}  // namespace tarnix_test
