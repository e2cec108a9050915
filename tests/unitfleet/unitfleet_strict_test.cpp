// SPDX-License-Identifier: Apache-2.0
// unitfleet and its Ansible module held to what a careless operator and a
// hostile unit do: nothing the run did not name is sent, no damaged or
// foreign listing is restored, no failure hides its cause or what was
// already set, and a cut run leaves its whole record. Each case was first
// seen going wrong. Units on 127.21.x.y, one x per test, in a network
// namespace of the test's own.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "tests/support/process.h"
#include "tests/support/scripted_unit.h"
#include "tests/unitfleet/fleet_fixture.h"
#include "unitfleet/discover.h"
#include "unitfleet/inventory.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using support::Answer;
using support::Bytes;

class Strict : public unitfleet_test::FleetFixture<21> {
  protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(why))
            GTEST_SKIP() << why;
        FleetFixture::SetUp();
    }

    std::string journal(int net, int host) const {
        std::error_code ec;
        std::string file = path("journal-" + address(net, host));
        return fs::exists(file, ec) ? read("journal-" + address(net, host)) : std::string();
    }
    // The set and commit lines a unit received ("recv MDSQ" with '=' in it,
    // the opening flags left out).
    std::vector<std::string> setsIn(const std::string& journal) const {
        std::vector<std::string> sets;
        std::istringstream in(journal);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("recv MDSQ \"", 0) == 0 && line.find('=') != std::string::npos &&
                line.find("\"Force") == std::string::npos)
                sets.push_back(line);
        }
        return sets;
    }

    nlohmann::json module(const std::string& args) {
        write("args.json", args);
        support::RunResult r = program({UNIT_MODES_BIN, path("args.json")});
        nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
        EXPECT_FALSE(doc.is_discarded()) << r.out << r.err;
        return doc;
    }
};

TEST_F(Strict, ValuesAndNamesAreDataInTheModule) {
    simulate(1, 1);
    std::string unit = address(1, 1);
    struct Case {
        const char* name;
        std::string modes;  // the JSON mapping
        const char* msg;
    } cases[] = {
        {"line feed in a value", R"({"TextReset": "Hello\nBacklight = 5"})",
         "modes: the value of TextReset holds CR, LF or NUL"},
        {"carriage return in a value", R"({"TextReset": "Hi\rBacklight = 5"})",
         "modes: the value of TextReset holds CR, LF or NUL"},
        {"NUL in a value", R"({"TextReset": "Hi\u0000x"})",
         "modes: the value of TextReset holds CR, LF or NUL"},
        {"'=' in a name", R"({"Backlight = 5\nTextReset": "x"})",
         "modes: mode name 'Backlight = 5\\x0ATextReset' holds '=', CR, LF or NUL"},
        {"blank around a name", R"({" Backlight": "5"})",
         "modes: mode name ' Backlight' starts or ends with a blank"},
        {"misspelt mode", R"({"POSTimeot": 5})",
         "the unit has no mode POSTimeot (did you mean POSTimeout?)"},
        {"word for an integer", R"({"Backlight": "abc"})",
         "Backlight takes a decimal integer, not 'abc'"},
        {"maybe for a boolean", R"({"DHCP": "maybe"})", "DHCP takes TRUE or FALSE, not 'maybe'"},
        {"string too long", R"({"Language": "ENGLISH-UK"})",
         "Language holds at most 8 characters, not 10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        nlohmann::json r = module(R"({"address": ")" + unit + R"(", "modes": )" + c.modes + "}");
        EXPECT_EQ(r["failed"], true);
        EXPECT_EQ(r["changed"], false);
        EXPECT_EQ(r["msg"], c.msg);
    }
    EXPECT_EQ(setsIn(journal(1, 1)), std::vector<std::string>{}) << "no set may go out";
}

TEST_F(Strict, ModuleCommitKeepsWhatAnEarlierRunLeftUncommittedAndAPartialSetIsAChange) {
    simulate(2, 1, {"--refuse", "Contrast"});
    std::string unit = address(2, 1);
    nlohmann::json first = module(R"({"address": ")" + unit + R"(", "modes": {"POSTimeout": 25}})");
    EXPECT_EQ(first["changed"], true) << first;
    EXPECT_EQ(first["committed"], false);
    // Nothing to set now, but the value is only in working memory.
    nlohmann::json second =
        module(R"({"address": ")" + unit + R"(", "modes": {"POSTimeout": 25}, "commit": true})");
    EXPECT_EQ(second.value("failed", false), false) << second;
    EXPECT_EQ(second["committed"], true);
    EXPECT_EQ(second["msg"], "committed, nothing to set");
    EXPECT_EQ(program({TARNIX_BIN, "-iRESTART=TRUE", unit}).status, 0);
    EXPECT_EQ(program({TARNIX_BIN, "-gPOSTimeout", unit}).out, "POSTimeout = 25\r\n");

    // The first set holds, the second is refused: the unit did change.
    nlohmann::json partial =
        module(R"({"address": ")" + unit + R"(", "modes": {"Backlight": 40, "Contrast": 60}})");
    EXPECT_EQ(partial["failed"], true);
    EXPECT_EQ(partial["changed"], true) << partial;
    EXPECT_EQ(partial["sent"], nlohmann::json({"Backlight"}));
    EXPECT_EQ(partial["msg"].get<std::string>().rfind(
                  "refused mode Contrast after setting Backlight; not committed", 0),
              0u)
        << partial;
}

// Listings: saved by a backup of three units, then damaged by hand.
TEST_F(Strict, CorruptTruncatedAndForeignListingsAreRefusedWithNoSet) {
    simulate(3, 5);
    std::string inventory;
    for (int i = 1; i <= 5; ++i) inventory += address(3, i) + " u" + std::to_string(i) + "\n";
    write("fleet.txt", inventory);
    ASSERT_EQ(fleet({"backup", "fleet.txt", "saved"}).status, 0);
    std::string u1 = read("saved/u1.ini");
    std::mt19937 random(33);
    std::string noise;
    for (int i = 0; i < 2000; ++i) noise += static_cast<char>(random() & 0xFF);
    write("saved/u1.ini", noise);
    write("saved/u2.ini", u1.substr(0, 300));     // cut short
    write("saved/u3.ini", read("saved/u4.ini"));  // another unit's listing
    write("saved/u4.ini",
          u1.substr(0, u1.find("\n", u1.find("TargetIP")) + 1) + "UnitID = x\nnot a mode line\n");
    std::map<int, std::size_t> before;
    for (int i = 1; i <= 5; ++i) before[i] = journal(3, i).size();

    support::RunResult r = fleet({"restore", "fleet.txt", "saved", "--backup-dir", "undo"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    struct Expect {
        int unit;
        std::string line;
    } expects[] = {
        {1, "saved/u1.ini is not a whole listing: it does not start with a listing's heading"},
        {2, "saved/u2.ini is not a whole listing: its last line is cut short"},
        {3, "listing is for " + address(3, 4)},
        {4, "saved/u4.ini is not a whole listing: line 7: not a mode line: 'not a mode line'"},
        // (u4's listing: the heading, TargetIP, UnitID, then the bad line 7)
        {5, "unchanged"},
    };
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.unit);
        std::string label = address(3, e.unit) + " u" + std::to_string(e.unit) + ": ";
        std::size_t at = r.out.find(label);
        ASSERT_NE(at, std::string::npos) << r.out;
        std::string line = r.out.substr(at, r.out.find('\n', at) - at);
        EXPECT_NE(line.find(e.line), std::string::npos) << line;
        // Refused listings are refused before their unit is contacted.
        if (e.unit != 5) {
            EXPECT_EQ(journal(3, e.unit).size(), before[e.unit]);
        }
    }
    // --force takes the foreign listing: the unit then gets u4's UnitID.
    r = fleet({"restore", "fleet.txt", "saved", "--backup-dir", "undo2", "--force", "-g", "x"});
    EXPECT_EQ(r.status, 2);  // no unit in that group: nothing done
}

TEST_F(Strict, RestoreOntoReplacedHardwareRestoresEverythingElse) {
    simulate(4, 1);
    std::string unit = address(4, 1);
    write("fleet.txt", unit + " till\n");
    ASSERT_EQ(fleet({"backup", "fleet.txt", "saved"}).status, 0);
    // The listing is of the old hardware: another serial number and MAC
    // address, and settings the new unit has not got yet.
    std::string listing = read("saved/till.ini");
    auto replace = [&](const std::string& from, const std::string& to) {
        std::size_t at = listing.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        listing.replace(at, from.size(), to);
    };
    replace("SN04471123", "SN00000001");
    replace("00:50:C2:1A:2B:3C", "00:50:C2:00:00:01");
    replace("= 10\n", "= 45\n");  // POSTimeout
    replace("= Please scan an item\n", "= Welcome back\n");
    write("saved/till.ini", listing);

    support::RunResult r =
        fleet({"restore", "fleet.txt", "saved", "--commit", "--backup-dir", "undo", "--json"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    nlohmann::json doc = nlohmann::json::parse(r.out);
    nlohmann::json u = doc["units"][0];
    EXPECT_EQ(u["outcome"], "applied");
    EXPECT_EQ(u["committed"], true);
    EXPECT_EQ(u["not_restored"], nlohmann::json({"SerialNumber", "MACAddress"}));
    EXPECT_EQ(u["sent"], nlohmann::json({"POSTimeout", "TextReset"}));
    EXPECT_EQ(u["reason"],
              "applied 2 modes, committed; not restored: identity SerialNumber, MACAddress");
    EXPECT_EQ(program({TARNIX_BIN, "-gPOSTimeout", unit}).out, "POSTimeout = 45\r\n");
    EXPECT_EQ(program({TARNIX_BIN, "-gSerialNumber", unit}).out, "SerialNumber = SN04471123\r\n");

    // A mode the unit lacks fails it unless --skip-unknown, which names it.
    write("saved/till.ini", listing + "Volume               = 3\n");
    r = fleet({"restore", "fleet.txt", "saved", "--backup-dir", "undo2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("till: the unit has no mode Volume"), std::string::npos) << r.out;
    r = fleet({"restore", "fleet.txt", "saved", "--backup-dir", "undo3", "--skip-unknown"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("unchanged; not restored: identity SerialNumber, MACAddress; skipped, "
                         "not on the unit: Volume"),
              std::string::npos)
        << r.out;
}

TEST_F(Strict, MisspeltModesAndBadValuesFailBeforeAnySet) {
    simulate(5, 1);
    std::string unit = address(5, 1);
    write("fleet.txt", unit + " till\n");
    struct Case {
        const char* ini;
        const char* reason;
        int status;
        std::vector<std::string> extra;
    } cases[] = {
        {"Contrast = 40\nPOSTimeot = 5\n",
         "the unit has no mode POSTimeot (did you mean POSTimeout?)",
         1,
         {}},
        {"Contrast = 40\nBacklight = abc\n",
         "bad value: Backlight takes a decimal integer, not 'abc'",
         1,
         {}},
        {"Contrast = 40\nDHCP = maybe\n",
         "bad value: DHCP takes TRUE or FALSE, not 'maybe'",
         1,
         {}},
        {"Contrast = 40\nHostPort = 12x\n",
         "bad value: HostPort takes a decimal integer, not '12x'",
         1,
         {}},
        {"Contrast = 50\nPOSTimeot = 5\n",
         "unchanged; skipped, not on the unit: POSTimeot",
         0,
         {"--skip-unknown"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        write("modes.ini", c.ini);
        std::vector<std::string> args{"apply", "fleet.txt", "modes.ini", "--backup-dir", "b"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        std::size_t before = journal(5, 1).size();
        support::RunResult r = fleet(args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), unit + " till: " + c.reason);
        EXPECT_EQ(setsIn(journal(5, 1).substr(before)), std::vector<std::string>{});
    }
}

TEST_F(Strict, ATimedOutUnitNamesTheSetsItGot) {
    // Reads and the Contrast set are answered; the TextReset set never is.
    support::ScriptedUnit slow(address(6, 1), [](const Bytes& frame) -> Answer {
        std::string query = support::queryText(frame);
        if (query.empty())
            return support::modeReply("Contrast = INTEGER\r\nTextReset = STRING,64\r\n");
        if (query == "*")
            return support::modeReply("Contrast = 50\r\nTextReset = Hi\r\n");
        if (query.rfind("TextReset =", 0) == 0)
            return Answer{};  // silence
        return support::modeReply(query);
    });
    ASSERT_TRUE(slow.listening());
    write("fleet.txt", address(6, 1) + " till\n");
    write("modes.ini", "Contrast = 60\nTextReset = Welcome\n");
    support::RunResult r = fleet(
        {"apply", "fleet.txt", "modes.ini", "--commit", "--backup-dir", "b", "--timeout", "1.5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              address(6, 1) + " till: timed out after setting Contrast; not committed");
    nlohmann::json doc = nlohmann::json::parse(
        read("b/report.txt").empty() ? "{}"
                                     : fleet({"apply", "fleet.txt", "modes.ini", "--backup-dir",
                                              "c", "--timeout", "1.5", "--json"})
                                           .out);
    EXPECT_EQ(doc["units"][0]["sent"], nlohmann::json({"Contrast"}));
    EXPECT_EQ(doc["units"][0]["outcome"], "timed out");
}

TEST_F(Strict, EveryFailureHasItsCauseAndOneBadNameFailsOneUnit) {
    simulate(7, 1);
    // A route that fails at once, as a shop line that is down does.
    ASSERT_EQ(program({"/sbin/ip", "route", "add", "unreachable", address(7, 9) + "/32", "table",
                       "local"})
                  .status,
              0);
    write("fleet.txt", address(7, 1) + " up\n" + address(7, 2) + " refusing\n" + address(7, 9) +
                           " noroute\ntill-9.shop.invalid stale\n");
    support::RunResult r = fleet({"backup", "fleet.txt", "saved", "--json", "--timeout", "2"});
    EXPECT_EQ(r.status, 1) << r.err;
    nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["units"][0]["outcome"], "saved");
    EXPECT_EQ(doc["units"][1]["reason"], "unreachable: connection refused");
    EXPECT_EQ(doc["units"][1]["cause"], "connection refused");
    EXPECT_EQ(doc["units"][2]["reason"], "unreachable: no route");
    EXPECT_EQ(doc["units"][3]["outcome"], "cannot resolve");
    EXPECT_EQ(doc["units"][3]["cause"], "cannot resolve 'till-9.shop.invalid'");
    std::string retry = read("saved/retry.inventory");
    EXPECT_NE(retry.find("till-9.shop.invalid stale  # cannot resolve"), std::string::npos)
        << retry;

    // Too few descriptors for -j: it is lowered, and said so, rather than
    // failing units for want of one.
    std::string command = "ulimit -n 64 && exec " + std::string(UNITFLEET_BIN) +
                          " backup fleet.txt saved2 -j 512 --timeout 2";
    r = program({"/bin/bash", "-c", command});
    EXPECT_NE(r.err.find("unitfleet: only 64 descriptors may be open; -j lowered from 512 to 24"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("out of descriptors"), std::string::npos) << r.out;
}

TEST_F(Strict, AStoppedRolloutReadsNoUnitItNeverReachedAndGitCountsWhatHappened) {
    simulate(8, 4, {"--every", "4", "--refuse", "Contrast"});  // the first unit refuses
    std::string inventory;
    for (int i = 1; i <= 4; ++i) inventory += address(8, i) + " u" + std::to_string(i) + "\n";
    write("fleet.txt", inventory);
    write("modes.ini", "Contrast = 60\n");
    support::RunResult r = fleet({"apply", "fleet.txt", "modes.ini", "--git", "store", "--canary",
                                  "1", "--max-fail", "0", "--batch", "1"});
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    for (int i = 2; i <= 4; ++i) EXPECT_EQ(journal(8, i), "") << i;
    support::RunResult log = program({"/usr/bin/git", "-C", path("store"), "log", "--format=%s"});
    // The state before (one new listing); after it, the one unit reached
    // holds what it held: no second commit.
    EXPECT_EQ(log.out, "apply of 4 units (state before): 1 changed, 1 failed, 3 not attempted\n");
    EXPECT_NE(r.out.find("history: nothing changed, no commit"), std::string::npos) << r.out;
}

TEST_F(Strict, TheGitStoreCommitsOnlyTheRunsListingsAndLeavesTheIndexAlone) {
    simulate(9, 2);
    write("fleet.txt", address(9, 1) + " u1 a\n" + address(9, 2) + " u2 b\n");
    ASSERT_EQ(fleet({"backup", "fleet.txt", "store", "--git"}).status, 0);
    auto git = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"/usr/bin/git", "-C", path("store")});
        return program(args).out;
    };
    write("store/notes.ini", "stray\n");
    write("store/u2.ini", read("store/u2.ini") + "# hand edit\n");
    write("store/staged.txt", "mine\n");
    git({"add", "staged.txt"});
    support::RunResult r = fleet({"backup", "fleet.txt", "store", "--git", "-g", "a"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: store/notes.ini differs from the last commit"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("/u2.ini differs from the last commit"), std::string::npos);
    EXPECT_EQ(git({"rev-list", "--count", "HEAD"}), "1\n");  // u1 unchanged: no commit
    EXPECT_EQ(git({"diff", "--cached", "--name-only"}), "staged.txt\n");
    EXPECT_EQ(git({"status", "--porcelain"}),
              "A  staged.txt\n M u2.ini\n?? notes.ini\n?? report.txt\n");
    // A real change of u1 is committed alone.
    ASSERT_EQ(program({TARNIX_BIN, "-iPOSTimeout=33", address(9, 1)}).status, 0);
    r = fleet({"backup", "fleet.txt", "store", "--git", "-g", "a"});
    EXPECT_EQ(git({"show", "--name-only", "--format=%s", "HEAD"}),
              "backup of 1 unit: 1 changed, 0 failed\n\nu1.ini\n");
    EXPECT_EQ(git({"diff", "--cached", "--name-only"}), "staged.txt\n");

    // Another branch, or none: refused before any unit is contacted.
    std::size_t before = journal(9, 1).size();
    git({"checkout", "-q", "--detach"});
    r = fleet({"backup", "fleet.txt", "store", "--git"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("has a detached HEAD"), std::string::npos) << r.err;
    git({"checkout", "-q", "-b", "other"});
    r = fleet({"backup", "fleet.txt", "store", "--git"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is on branch other, not on the store's branch"), std::string::npos)
        << r.err;
    EXPECT_EQ(journal(9, 1).size(), before);
}

TEST_F(Strict, UnitTextNeverReachesTheTerminalRaw) {
    const std::string esc = "\x1b]0;pwned\x07\x1b[2J";
    support::ScriptedUnit hostile(address(10, 1), [&](const Bytes& frame) -> Answer {
        std::string query = support::queryText(frame);
        if (query.empty())
            return support::modeReply("UnitStatus = STRING,32\r\nTextReset = STRING,64\r\n");
        if (query == "*")
            return support::modeReply("UnitStatus = " + esc + "\r\nTextReset = " + esc + "\r\n");
        if (query == "UnitStatus")
            return support::modeReply("UnitStatus = " + esc);
        return support::modeReply(query);
    });
    ASSERT_TRUE(hostile.listening());
    write("fleet.txt", address(10, 1) + " till\n");
    write("modes.ini", "TextReset = Welcome\n");
    std::vector<std::vector<std::string>> commands = {
        {"status", "fleet.txt"},
        {"backup", "fleet.txt", "store", "--git"},
        {"diff", "fleet.txt", "modes.ini"},
        {"apply", "fleet.txt", "modes.ini", "--backup-dir", "b"},
        {"history", "store"},
        {"discover", address(10, 1)},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        support::RunResult r = fleet(args);
        EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    }
    support::RunResult json = fleet({"status", "fleet.txt", "--json"});
    EXPECT_EQ(nlohmann::json::parse(json.out)["units"][0]["status"], esc);
}

TEST_F(Strict, OutputFilesGoThroughSymlinksAndNeverReplaceOtherFiles) {
    simulate(11, 1);
    write("fleet.txt", address(11, 1) + "\n");
    write("real.prom", "old\n");
    fs::create_symlink("real.prom", path("link.prom"));
    support::RunResult r = fleet({"status", "fleet.txt", "--prometheus", "link.prom"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(path("link.prom")));
    EXPECT_NE(read("real.prom").find("unit_up{"), std::string::npos);
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"status", "fleet.txt", "--prometheus", "fifo"},
          std::vector<std::string>{"discover", address(11, 1), "-o", "fifo"}}) {
        SCOPED_TRACE(args[0]);
        r = fleet(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("fifo is not a regular file"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_fifo(path("fifo")));
    }
    // A FIFO where a listing should be is refused, not read (which would hang).
    fs::create_directory(path("saved"));
    ASSERT_EQ(::mkfifo(path("saved/" + address(11, 1) + ".ini").c_str(), 0600), 0);
    r = fleet({"restore", "fleet.txt", "saved", "--backup-dir", "undo", "--timeout", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(".ini is not a regular file"), std::string::npos) << r.out;
}

TEST_F(Strict, SmallerMendsOfTheCommandLine) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* text;  // in stdout or stderr
    } cases[] = {
        {{"bakcup", "fleet.txt", "x"}, 2, "unknown command 'bakcup' (did you mean backup?)"},
        {{"--version"}, 0, "unitfleet 6.20"},
        {{"history", "store", "--since", "2026-02-31"}, 2, "--since takes a date that exists"},
        {{"backup", "fleet.txt", "x", "--timeout", "1e3"}, 2, "takes seconds"},
        {{"backup", "fleet.txt", "x", "-j", "-4"}, 2, "takes a whole number"},
        {{"discover", "127.0.0.0/-8"}, 2, "not an address block"},
        {{"discover", "127.0.0.-1"}, 2, "not an address range"},
        {{"discover", "127.0.0.1/33"}, 2, "not an address block"},
        {{"restore", "fleet.txt", "saved", "--backup-dir", "saved"},
         2,
         "--backup-dir must not be the folder restored from"},
        {{"restore", "fleet.txt", "saved", "--backup-dir", "./saved/"},
         2,
         "--backup-dir must not be the folder restored from"},
        {{"restore", "fleet.txt", "saved", "--backup-dir", "fresh", "--batch", "x"},
         2,
         "--batch takes N or N%"},
        // No unit answers on this address: the run fails, its record is kept.
        {{"backup", "fleet.txt", "saved/", "--timeout", "2"}, 1, "report: saved/report.txt"},
    };
    write("fleet.txt", "127.21.12.1\n");
    fs::create_directory(path("saved"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        support::RunResult r = fleet(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.text), std::string::npos) << r.out << r.err;
    }
    // A refused restore leaves no folder behind.
    EXPECT_FALSE(fs::exists(path("fresh")));
    EXPECT_FALSE(fs::exists(path("x")));
}

// Every long option a command's --help shows is in the man page, and the
// help shows exit codes of that command only.
TEST(FleetHelp, EveryLongOptionOfEveryCommandIsInTheManPage) {
    std::string man = support::readFile(UNITFLEET_MAN);
    for (const char* command : {"backup", "diff", "apply", "restore", "discover", "status",
                                "history", "ansible-inventory"}) {
        SCOPED_TRACE(command);
        support::RunResult help = support::run({UNITFLEET_BIN, command, "--help"});
        EXPECT_EQ(help.status, 0);
        std::set<std::string> options;
        for (std::size_t at = help.out.find("--"); at != std::string::npos;
             at = help.out.find("--", at + 2)) {
            std::size_t end = help.out.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
            options.insert(help.out.substr(at + 2, end - at - 2));
        }
        for (const std::string& option : options) {
            if (option == "help" || option.empty())
                continue;
            EXPECT_NE(man.find("Fl -" + option), std::string::npos) << "--" << option;
        }
        bool rollout = std::string(command) == "apply" || std::string(command) == "restore";
        EXPECT_EQ(help.out.find("3 a rollout") != std::string::npos, rollout);
    }
}

// discover's output is an inventory unitfleet reads back, whatever UnitIDs
// the units report.
TEST(DiscoverNames, HostileUnitIdsStillMakeAValidInventory) {
    std::vector<unitfleet::FoundUnit> found = {
        {0x7F000001, std::string(300, 'x')},
        {0x7F000002, "127.0.0.1"},  // another unit's address
        {0x7F000003, "till"},
        {0x7F000004, "TILL"},
        {0x7F000005, std::string(300, 'x')},
        {0x7F000006, "../../etc/passwd"},
        {0x7F000007, "\x1b]0;x\x07"},
        {0x7F000008, ""},
    };
    std::string text = unitfleet::discoveredInventory(found, 10001, "test");
    unitfleet::Inventory inventory = unitfleet::parseInventory(text, "discovered");
    EXPECT_EQ(inventory.errors, std::vector<std::string>{}) << text;
    ASSERT_EQ(inventory.units.size(), found.size()) << text;
    std::set<std::string> stems;
    for (const unitfleet::InventoryUnit& unit : inventory.units) {
        EXPECT_EQ(unit.port, 10001);
        EXPECT_LE(unit.fileStem().size(), unitfleet::kLongestStem);
        EXPECT_TRUE(stems.insert(unit.fileStem()).second) << unit.fileStem();
    }
    EXPECT_EQ(inventory.units[1].name, "unit-127.0.0.1");
    EXPECT_EQ(unitfleet::addressCount({{10, 20}, {15, 30}, {5, 5}, {25, 26}}), 22u);
}

// The 1,000-unit cut: SIGINT in the middle of an apply, with replies slow
// enough that units are in flight. The report and the retry file together
// name every unit exactly once: done units in the report only, the others
// (interrupted ones included) in both.
TEST_F(Strict, SigintMidRunOfAThousandUnitsLeavesTheWholeRecord) {
    constexpr int kUnits = 1000;
    // 127.21.13.1 to 127.21.16.232: one unit on every address between.
    std::vector<std::string> addresses;
    std::string inventory;
    for (int i = 0; i < kUnits; ++i) {
        int n = 13 * 256 + 1 + i;
        addresses.push_back("127.21." + std::to_string(n / 256) + "." + std::to_string(n % 256));
        inventory += addresses.back() + " u" + std::to_string(i) + "\n";
    }
    write("fleet.txt", inventory);
    write("modes.ini", "Contrast = 61\n");
    sim_ = std::make_unique<support::Background>(std::vector<std::string>{
        UNITSIM_BIN, "--address", addresses.front() + "-" + addresses.back(), "--journal",
        dir_ + "/journal-%a", "--delay", "20"});
    ASSERT_TRUE(sim_->waitForOutput("1000 units listening", 60s)) << sim_->stop().err;

    // GNU time measures the peak; the signal goes to unitfleet itself.
    std::string script =
        "/usr/bin/time -f 'peak %M KiB' " + std::string(UNITFLEET_BIN) +
        " apply fleet.txt modes.ini --commit --backup-dir out -j 32 --timeout 20 2>err.txt"
        " >out.txt & pid=$!\n"
        "for i in $(seq 1200); do [ $(grep -c '^unitfleet: \\[' err.txt) -ge 100 ] && break; "
        "sleep 0.05; done\n"
        "kill -INT $(pgrep -P $pid unitfleet)\n"
        "wait $pid; echo status $?\n";
    support::RunResult r = program({"/bin/bash", "-c", script});
    std::string err = read("err.txt");
    EXPECT_NE(r.out.find("status 130"), std::string::npos) << r.out << err;
    std::string report = read("out/report.txt");
    std::string retry = read("out/retry.inventory");
    EXPECT_EQ(read("out.txt"), report);
    // Every unit once in the report; those not applied once in the retry
    // file, the applied ones never.
    std::map<std::string, std::string> lineOf;
    std::istringstream reportLines(report);
    for (std::string line; std::getline(reportLines, line);) {
        if (line.rfind("127.21.", 0) == 0) {
            EXPECT_TRUE(lineOf.emplace(line.substr(0, line.find(' ')), line).second) << line;
        }
    }
    std::map<std::string, int> retried;
    std::istringstream retryLines(retry);
    for (std::string line; std::getline(retryLines, line);) {
        if (line.rfind("127.21.", 0) == 0)
            ++retried[line.substr(0, line.find(' '))];
    }
    ASSERT_EQ(lineOf.size(), static_cast<std::size_t>(kUnits));
    std::size_t applied = 0, interrupted = 0;
    for (const std::string& unit : addresses) {
        const std::string& line = lineOf[unit];
        bool done = line.find(": applied 1 mode, committed") != std::string::npos;
        applied += done ? 1 : 0;
        interrupted += line.find(": interrupted") != std::string::npos ? 1 : 0;
        EXPECT_EQ(retried.count(unit) ? retried[unit] : 0, done ? 0 : 1) << line;
        // A unit that got the set and no commit says so on its line.
        std::string j = journal(13, 0).empty() ? support::readFile(dir_ + "/journal-" + unit) : "";
        bool set = j.find("recv MDSQ \"Contrast = 61\"") != std::string::npos;
        bool committed = j.find("recv MDSQ \"COMMIT=TRUE\"") != std::string::npos;
        if (set && !committed) {
            EXPECT_NE(line.find("after setting Contrast"), std::string::npos) << line;
        }
        if (line.find(": interrupted") != std::string::npos) {
            EXPECT_FALSE(set) << line;
        }
    }
    EXPECT_GT(applied, 0u);
    EXPECT_GT(interrupted, 0u);
    EXPECT_NE(report.find("stopped: by signal 2"), std::string::npos);
    // Figures for the notes, not limits.
    auto figure = [&](const std::string& key) {
        std::size_t at = err.find(key);
        return at == std::string::npos ? std::string("(none)")
                                       : err.substr(at, err.find('\n', at) - at);
    };
    std::cout << "SIGINT of 1,000 units: " << applied << " applied, " << interrupted
              << " interrupted; " << figure("record written in ") << "; " << figure("peak ")
              << "\n";
}

}  // namespace
