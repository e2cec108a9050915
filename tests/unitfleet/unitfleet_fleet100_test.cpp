// SPDX-License-Identifier: Apache-2.0
// Rollouts, restore, discover and status against one simulated-unit process
// serving 100 units on 127.19.`net`.1-100, with faults at known positions:
//   unit 12, 25 and 31  refuse sets of POSTimeout
//   unit 40             silent (reads queries, never answers)
//   unit 70             drops its first reply mid-frame
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kUnits = 100;
const std::set<int> kRefusing = {12, 25, 31};
constexpr int kSilent = 40;
constexpr int kDropping = 70;

support::RunOptions in(const std::string& dir) {
    support::RunOptions options;
    options.workingDirectory = dir;
    options.timeout = 90000ms;
    return options;
}

class Fleet100 : public ::testing::Test {
  protected:
    void start(int net, int units = kUnits, int firstHost = 1) {
        net_ = net;
        firstHost_ = firstHost;
        dir_ = support::makeTempDir("unitfleet100");
        std::vector<std::string> args = {UNITSIM_BIN, "--address",
                                         address(0) + "-" + address(units - 1), "--journal",
                                         dir_ + "/journal-%a"};
        if (units == kUnits) {
            auto fault = [&](int index, std::vector<std::string> options) {
                args.push_back("--every");
                args.push_back("100+" + std::to_string(index));
                args.insert(args.end(), options.begin(), options.end());
            };
            for (int i : kRefusing) fault(i, {"--refuse", "POSTimeout"});
            fault(kSilent, {"--silent"});
            fault(kDropping, {"--drop-mid-frame"});
        }
        sim_ = std::make_unique<support::Background>(args);
        ASSERT_TRUE(sim_->waitForOutput(std::to_string(units) + " units listening", 20s))
            << sim_->stop().err;
        std::string inventory;
        for (int i = 0; i < units; ++i) inventory += address(i) + " " + name(i) + "\n";
        support::writeFile(dir_ + "/fleet.txt", inventory);
    }

    std::string address(int index) const {
        return "127.19." + std::to_string(net_) + "." + std::to_string(index + firstHost_);
    }
    static std::string name(int index) { return "u" + std::to_string(index); }
    std::string label(int index) const { return address(index) + " " + name(index); }
    std::string journal(int index) {
        return support::readFile(dir_ + "/journal-" + address(index));
    }
    support::RunResult fleet(std::vector<std::string> args) {
        args.insert(args.begin(), UNITFLEET_BIN);
        return support::run(args, in(dir_));
    }
    // The unit lines of an inventory, comments dropped.
    std::set<std::string> unitLines(const std::string& path) {
        std::set<std::string> lines;
        std::string text = support::readFile(path);
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = std::min(text.find('\n', at), text.size());
            std::string line = text.substr(at, end - at);
            at = end + 1;
            line = line.substr(0, line.find("  #"));
            if (!line.empty() && line[0] != '#')
                lines.insert(line);
        }
        return lines;
    }

    int net_ = 0;
    int firstHost_ = 1;
    std::string dir_;
    std::unique_ptr<support::Background> sim_;
};

bool hasSet(const std::string& journal) {
    return journal.find("recv MDSQ \"POSTimeout = ") != std::string::npos ||
           journal.find("recv MDSQ \"Contrast = ") != std::string::npos;
}

TEST_F(Fleet100, RolloutStopsAfterTheBatchThatPassesTheCeiling) {
    start(1);
    support::writeFile(dir_ + "/modes.ini", "POSTimeout = 30\nContrast = 70\n");
    // Batches: 0-4 (canary), 5-14, 15-24, 25-34, ...; the failures so far are
    // 0, 1, 1, 3 after them, so the fourth passes a ceiling of 2.
    support::RunResult r =
        fleet({"apply", "fleet.txt", "modes.ini", "--canary", "5", "--batch", "10", "--max-fail",
               "2", "--timeout", "3", "--backup-dir", "before", "--commit"});
    EXPECT_EQ(r.status, 3) << r.err;
    std::set<std::string> retry;
    for (int i = 0; i < kUnits; ++i) {
        SCOPED_TRACE(label(i));
        std::string line = label(i) + ": ";
        if (i >= 35)
            line += "not attempted (rollout stopped after batch 4)";
        else if (kRefusing.count(i))
            line += "refused mode POSTimeout";
        else
            line += "applied 2 modes, committed";
        EXPECT_NE(r.out.find(line + "\n"), std::string::npos);
        EXPECT_EQ(hasSet(journal(i)), i < 35);
        if (i >= 35) {
            EXPECT_EQ(journal(i), "");  // not even connected to
        }
        if (i >= 35 || kRefusing.count(i))
            retry.insert(label(i));
    }
    EXPECT_NE(r.out.find("apply: 100 units, 32 applied, 0 unchanged, 3 failed, 65 not attempted\n"
                         "rollout: stopped after batch 4 of 11: 3 units failed, at most 2 may\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(unitLines(dir_ + "/before/retry.inventory"), retry);
    // Progress names the batch.
    EXPECT_NE(r.err.find("unitfleet: batch 1/11 ["), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("unitfleet: batch 4/11 ["), std::string::npos);
    EXPECT_EQ(r.err.find("batch 5/11"), std::string::npos);

    // The retry file goes back to unitfleet as it is; a share as ceiling.
    r = fleet({"apply", "before/retry.inventory", "modes.ini", "--batch", "50%", "--max-fail",
               "100%", "--timeout", "3", "--backup-dir", "second"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("apply: 68 units, 63 applied, 0 unchanged, 5 failed\n"), std::string::npos)
        << r.out;
}

TEST_F(Fleet100, BadRolloutOptionsStopBeforeAnythingIsSent) {
    std::string dir = support::makeTempDir("unitfleet100-input");
    support::writeFile(dir + "/one.txt", "127.19.9.1 a\n");
    support::writeFile(dir + "/m.ini", "POSTimeout = 3\n");
    fs::create_directory(dir + "/saved");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"apply", "one.txt", "m.ini", "--batch", "0"},
         "unitfleet: --batch takes N or N% (1 or more units, or a share of them), not '0'\n"},
        {{"apply", "one.txt", "m.ini", "--batch", "120%"},
         "unitfleet: --batch takes N or N% (1 or more units, or a share of them), not '120%'\n"},
        {{"apply", "one.txt", "m.ini", "--max-fail", "2"},
         "unitfleet: --max-fail needs --batch or --canary: it is checked after each batch\n"},
        {{"restore", "one.txt", "missing"}, "unitfleet: backup folder missing is not a folder\n"},
        {{"restore", "one.txt", "saved", "--backup-dir", "saved"},
         "unitfleet: --backup-dir must not be the folder restored from\n"},
        {{"discover", "127.19.0.0/19"},
         "unitfleet: the ranges hold 8192 addresses, more than 4096; give --force to try them "
         "all\n"},
        {{"discover", "127.19.0.0/15", "--force"},
         "unitfleet: the ranges hold 131072 addresses; at most 65536 can be tried\n"},
        {{"discover", "127.19.0.9-127.19.0.1"},
         "unitfleet: address range runs backwards: '127.19.0.9-127.19.0.1'\n"},
        {{"status", "none.txt"},
         "unitfleet: cannot read inventory none.txt: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), UNITFLEET_BIN);
        support::RunResult r = support::run(args, in(dir));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    for (const char* command : {"restore", "discover", "status"}) {
        support::RunResult r = support::run({UNITFLEET_BIN, command, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("--timeout"), std::string::npos) << command;
    }
}

TEST_F(Fleet100, RestoreBringsEveryChangedValueBack) {
    start(2);
    support::RunResult r = fleet({"backup", "fleet.txt", "first", "--timeout", "3"});
    EXPECT_EQ(r.status, 1) << r.err;  // the silent and the dropping unit
    support::writeFile(dir_ + "/modes.ini",
                       "POSTimeout = 30\nContrast = 70\nTextReset = Changed\n");
    r = fleet({"apply", "fleet.txt", "modes.ini", "--commit", "--timeout", "3", "--backup-dir",
               "applied"});
    EXPECT_EQ(r.status, 1) << r.err;
    // Unit 5 has no listing: reported, not contacted.
    fs::remove(dir_ + "/first/u5.ini");
    // The status a listing recorded is not put back (it is read-only anyway).
    std::string u2 = support::readFile(dir_ + "/first/u2.ini");
    std::string u2Broken = u2;
    u2Broken.replace(u2Broken.find("UnitStatus           = OK"), 25, "UnitStatus           = BAD");
    support::writeFile(dir_ + "/first/u2.ini", u2Broken);
    std::string journal5 = journal(5);
    std::map<int, std::size_t> journalSizes;
    for (int i = 0; i < kUnits; ++i) journalSizes[i] = journal(i).size();

    r = fleet(
        {"restore", "fleet.txt", "first", "--commit", "--timeout", "3", "--backup-dir", "undo"});
    EXPECT_EQ(r.status, 1) << r.err;
    for (int i = 0; i < kUnits; ++i) {
        SCOPED_TRACE(label(i));
        std::string line = label(i) + ": ";
        std::string since = journal(i).substr(journalSizes[i]);
        if (i == kSilent)
            line += "no saved listing";  // its backup failed too
        else if (i == kDropping)
            line += "no saved listing";
        else if (i == 5)
            line += "no saved listing";
        else if (kRefusing.count(i))
            line += "committed, nothing to set";  // the apply stopped at its refused first set
        else if (i == 2)  // its listing's UnitStatus differs: named, not put back
            line += "applied 3 modes, committed; not restored: identity UnitStatus";
        else
            line += "applied 3 modes, committed";
        EXPECT_NE(r.out.find(line + "\n"), std::string::npos) << r.out;
        if (i == 5 || i == kSilent || i == kDropping) {
            // Not contacted: nothing received. (The close of the apply's
            // connection to the silent unit may be noted this late on a
            // loaded machine.)
            EXPECT_EQ(since.find("recv "), std::string::npos) << since;
            EXPECT_EQ(since.find("open from"), std::string::npos) << since;
        } else {
            bool changed = kRefusing.count(i) == 0;
            EXPECT_EQ(since.find("recv MDSQ \"POSTimeout = 10\"") != std::string::npos, changed);
            EXPECT_EQ(since.find("recv MDSQ \"Contrast = 50\"") != std::string::npos, changed);
            EXPECT_NE(since.find("recv MDSQ \"COMMIT=TRUE\""), std::string::npos);
        }
    }
    EXPECT_NE(r.out.find("restore: 100 units, 94 applied, 3 unchanged, 3 failed\n"),
              std::string::npos);
    // The restore backed up the applied state first.
    EXPECT_NE(support::readFile(dir_ + "/undo/u0.ini").find("POSTimeout           = 30\n"),
              std::string::npos);

    // A later backup agrees with the first one byte for byte.
    support::writeFile(dir_ + "/first/u2.ini", u2);
    r = fleet({"backup", "fleet.txt", "later", "--timeout", "3"});
    for (int i = 0; i < kUnits; ++i) {
        if (i == 5 || i == kSilent || i == kDropping)
            continue;
        std::string file = "/" + name(i) + ".ini";
        EXPECT_EQ(support::readFile(dir_ + "/later" + file),
                  support::readFile(dir_ + "/first" + file))
            << name(i);
    }
}

TEST_F(Fleet100, DiscoverFindsExactlyTheUnitsAndItsOutputBacksThemUp) {
    start(3, 20, 101);  // 127.19.3.101-120
    support::RunResult r = support::run(
        {UNITFLEET_BIN, "discover", "127.19.3.0/24", "-j", "32", "--timeout", "3"}, in(dir_));
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected = "# units found by unitfleet discover 127.19.3.0/24\n";
    // Each simulated unit has a UnitID of its own: TILL0001 ... in address order.
    for (int i = 0; i < 20; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "TILL%04d", i + 1);
        expected += address(i) + "  " + id + "\n";
    }
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err,
              "discover: 256 addresses, 20 units, 236 without (236 not accepting, 0 not answering "
              "in time, 0 answering but not as a unit)\n");
    support::writeFile(dir_ + "/found.txt", r.out);
    r = fleet({"backup", "found.txt", "saved"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("backup: 20 units, 20 saved, 0 failed\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ + "/saved/TILL0020.ini"));
}

// The exposition format, strictly: HELP and TYPE lines before the samples of
// their family, each family once, sample lines NAME{LABELS} VALUE.
struct Exposition {
    std::map<std::string, std::string> types;
    std::map<std::string, double> samples;  // "name{labels}" -> value
    std::string error;
};

Exposition parseExposition(const std::string& text) {
    Exposition e;
    std::regex help(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) \S.*)");
    std::regex type(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (gauge|counter|untyped))");
    std::regex sample(
        R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*"(?:,[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*")*\}) (\S+))");
    std::string family;
    std::set<std::string> done;
    std::size_t at = 0;
    int number = 0;
    if (text.empty() || text.back() != '\n')
        return {{}, {}, "the text does not end in a line feed"};
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        std::smatch m;
        auto fail = [&](const std::string& why) {
            e.error = "line " + std::to_string(number) + ": " + why + ": " + line;
            return e;
        };
        if (std::regex_match(line, m, help)) {
            if (done.count(m[1]) || m[1] == family)
                return fail("family given twice");
            done.insert(family);
            family = m[1];
        } else if (std::regex_match(line, m, type)) {
            if (m[1] != family || e.types.count(m[1]))
                return fail("TYPE not after its HELP");
            e.types[m[1]] = m[2];
        } else if (std::regex_match(line, m, sample)) {
            if (m[1] != family || !e.types.count(family))
                return fail("sample outside its family");
            std::size_t used = 0;
            double value = std::stod(m[3], &used);
            if (used != static_cast<std::size_t>(m[3].length()) || std::isnan(value))
                return fail("bad value");
            if (!e.samples.emplace(std::string(m[1]) + std::string(m[2]), value).second)
                return fail("series given twice");
        } else {
            return fail("not a HELP, TYPE or sample line");
        }
    }
    return e;
}

TEST_F(Fleet100, StatusAndItsPrometheusFileTellEveryUnit) {
    start(4);
    support::RunResult r =
        fleet({"status", "fleet.txt", "--timeout", "2", "-j", "64", "--prometheus", "units.prom"});
    EXPECT_EQ(r.status, 1) << r.err;
    std::regex up(R"(: up, \d+\.\d{3} s, UnitStatus OK)");
    std::istringstream lines(r.out);
    std::string line;
    for (int i = 0; i < kUnits; ++i) {
        SCOPED_TRACE(label(i));
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line.rfind(label(i) + ": ", 0), 0u) << line;
        if (i == kSilent)
            EXPECT_EQ(line, label(i) + ": down, timed out");
        else if (i == kDropping)
            EXPECT_EQ(line, label(i) + ": down, connection lost");
        else
            EXPECT_TRUE(std::regex_search(line, up)) << line;
    }
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "status: 100 units, 98 up, 98 OK, 2 down");

    Exposition e = parseExposition(support::readFile(dir_ + "/units.prom"));
    ASSERT_EQ(e.error, "");
    EXPECT_EQ(e.types, (std::map<std::string, std::string>{{"unit_reply_seconds", "gauge"},
                                                           {"unit_status_ok", "gauge"},
                                                           {"unit_up", "gauge"}}));
    EXPECT_EQ(e.samples.size(), 3u * kUnits - 2);
    for (int i = 0; i < kUnits; ++i) {
        std::string labels = "{unit=\"" + name(i) + "\",address=\"" + address(i) + "\"}";
        bool isUp = i != kSilent && i != kDropping;
        EXPECT_EQ(e.samples["unit_up" + labels], isUp ? 1 : 0) << labels;
        EXPECT_EQ(e.samples["unit_status_ok" + labels], isUp ? 1 : 0) << labels;
        auto reply = e.samples.find("unit_reply_seconds" + labels);
        ASSERT_EQ(reply != e.samples.end(), isUp) << labels;
        if (isUp) {
            EXPECT_GT(reply->second, 0);
            EXPECT_LT(reply->second, 2.5);
        }
    }
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();

    // JSON, and a value other than OK as the healthy one.
    r = fleet({"status", "fleet.txt", "--timeout", "2", "-j", "64", "--json", "--ok", "READY"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"status\": \"OK\",\n      \"status_ok\": false"), std::string::npos)
        << r.out.substr(0, 600);
    EXPECT_NE(r.out.find("\"up\": 99"), std::string::npos);  // the drop was a one-shot fault
}

}  // namespace
