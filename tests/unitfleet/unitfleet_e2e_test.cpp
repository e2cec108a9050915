// SPDX-License-Identifier: Apache-2.0
// unitfleet as administrators run it, against one simulated-unit process
// serving 50 units, some of them faulty:
//   unit index % 10 == 2  silent (reads queries, never answers)
//   unit index % 10 == 4  refuses sets of POSTimeout
//   unit index % 10 == 6  drops its first reply mid-frame
//   unit index % 10 == 8  Contrast drifts after every read
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kUnits = 50;
const char* const kIni = "POSTimeout = 30\nContrast = 70\nTextReset = Welcome\n";

enum class Kind { Clean, Silent, Refusing, Dropping, Drifting };

Kind kindOf(int index) {
    switch (index % 10) {
        case 2:
            return Kind::Silent;
        case 4:
            return Kind::Refusing;
        case 6:
            return Kind::Dropping;
        case 8:
            return Kind::Drifting;
        default:
            return Kind::Clean;
    }
}

class Fleet : public ::testing::Test {
  protected:
    // Serves 50 units on 127.17.`net`.1-50 and writes an inventory of them.
    void start(int net) {
        net_ = net;
        dir_ = support::makeTempDir("unitfleet");
        std::string range = address(0) + "-" + address(kUnits - 1);
        sim_ = std::make_unique<support::Background>(std::vector<std::string>{
            UNITSIM_BIN, "--address", range, "--journal", dir_ + "/journal-%a", "--every", "10+2",
            "--silent", "--every", "10+4", "--refuse", "POSTimeout", "--every", "10+6",
            "--drop-mid-frame", "--every", "10+8", "--drift", "Contrast"});
        ASSERT_TRUE(sim_->waitForOutput("50 units listening", 10s)) << sim_->stop().err;
        std::string inventory = "# the test fleet\n";
        for (int i = 0; i < kUnits; ++i)
            inventory += address(i) + " " + name(i) + (i < 25 ? " north" : " south") + "\n";
        support::writeFile(dir_ + "/fleet.txt", inventory);
        support::writeFile(dir_ + "/modes.ini", kIni);
    }

    std::string address(int index) const {
        return "127.17." + std::to_string(net_) + "." + std::to_string(index + 1);
    }
    static std::string name(int index) { return "unit-" + std::to_string(index); }
    std::string label(int index) const { return address(index) + " " + name(index); }

    support::RunResult fleet(std::vector<std::string> args) {
        args.insert(args.begin(), UNITFLEET_BIN);
        return support::run(args, {.input = {}, .workingDirectory = dir_, .timeout = 60000ms});
    }
    support::RunResult tarnix(std::vector<std::string> args, const std::string& cwd = {}) {
        args.insert(args.begin(), TARNIX_BIN);
        return support::run(args, {.input = {}, .workingDirectory = cwd.empty() ? dir_ : cwd});
    }
    // The unit's live value of a mode, asked with Tarnix.
    std::string value(int index, const std::string& mode) {
        support::RunResult r = tarnix({"-g" + mode, address(index)});
        std::string prefix = mode + " = ", end = "\r\n";  // the unit's answer line
        if (r.out.rfind(prefix, 0) != 0 || !r.out.ends_with(end))
            return "?" + r.out;
        return r.out.substr(prefix.size(), r.out.size() - prefix.size() - end.size());
    }
    std::string journal(int index) {
        return support::readFile(dir_ + "/journal-" + address(index));
    }

    // The retry inventory's unit lines, without comments.
    std::set<std::string> retryUnits(const std::string& path) {
        std::set<std::string> units;
        std::string text = support::readFile(path);
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find('\n', at);
            std::string line = text.substr(at, end - at);
            at = end == std::string::npos ? text.size() : end + 1;
            line = line.substr(0, line.find("  #"));
            if (!line.empty() && line[0] != '#')
                units.insert(line);
        }
        return units;
    }
    std::string inventoryLine(int index) const {
        return label(index) + (index < 25 ? " north" : " south");
    }

    int net_ = 0;
    std::string dir_;
    std::unique_ptr<support::Background> sim_;
};

TEST_F(Fleet, BackupWritesTarnixListingsThatRestoreByteForByte) {
    start(1);
    support::RunResult r = fleet({"backup", "fleet.txt", "saved", "--timeout", "2"});
    EXPECT_EQ(r.status, 1) << r.err;
    std::string expected;
    std::set<std::string> failed;
    for (int i = 0; i < kUnits; ++i) {
        Kind kind = kindOf(i);
        if (kind == Kind::Silent)
            expected += label(i) + ": timed out\n";
        else if (kind == Kind::Dropping)
            expected += label(i) + ": connection lost\n";
        else
            expected += label(i) + ": saved saved/" + name(i) + ".ini\n";
        if (kind == Kind::Silent || kind == Kind::Dropping)
            failed.insert(inventoryLine(i));
    }
    expected +=
        "backup: 50 units, 40 saved, 10 failed\nbackups: saved\nreport: saved/report.txt\n"
        "retry: saved/retry.inventory\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(support::readFile(dir_ + "/saved/report.txt"), expected);
    EXPECT_EQ(retryUnits(dir_ + "/saved/retry.inventory"), failed);
    for (const auto& entry : fs::directory_iterator(dir_ + "/saved"))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();

    // A saved listing is exactly what Tarnix prints for the unit.
    EXPECT_EQ(support::readFile(dir_ + "/saved/unit-0.ini"), tarnix({address(0)}).out);

    // Change two units, restore them from their listings with Tarnix, and
    // back them up again: the new listings equal the old ones byte for byte.
    for (int i : {0, 11}) {
        EXPECT_EQ(tarnix({"-iUnitID=CHANGED", address(i)}).status, 0);
        EXPECT_EQ(tarnix({"-iPOSTimeout=99", address(i)}).status, 0);
        ASSERT_EQ(value(i, "UnitID"), "CHANGED");
        std::string file = name(i) + ".ini";
        EXPECT_EQ(tarnix({"-s", "-f" + file, address(i)}, dir_ + "/saved").status, 0);
    }
    support::writeFile(dir_ + "/two.txt", label(0) + "\n" + label(11) + "\n");
    r = fleet({"backup", "two.txt", "again"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (int i : {0, 11}) {
        std::string file = "/" + name(i) + ".ini";
        EXPECT_EQ(support::readFile(dir_ + "/again" + file),
                  support::readFile(dir_ + "/saved" + file));
    }
    EXPECT_FALSE(fs::exists(dir_ + "/again/retry.inventory"));
}

TEST_F(Fleet, DiffListsExactlyTheChangesAndSendsOnlyQueries) {
    start(2);
    // Units 1 and 3 already have one of the values (3 in another case, which
    // is a change to make: the unit keeps a value as it was set).
    ASSERT_EQ(tarnix({"-iPOSTimeout=30", address(1)}).status, 0);
    ASSERT_EQ(tarnix({"-iTextReset=WELCOME", address(3)}).status, 0);
    support::RunResult r = fleet(
        {"diff", "fleet.txt", "modes.ini", "--timeout", "2", "-j", "8", "--retry", "again.txt"});
    EXPECT_EQ(r.status, 1) << r.err;
    std::string expected;
    for (int i = 0; i < kUnits; ++i) {
        Kind kind = kindOf(i);
        if (kind == Kind::Silent) {
            expected += label(i) + ": timed out\n";
            continue;
        }
        if (kind == Kind::Dropping) {
            expected += label(i) + ": connection lost\n";
            continue;
        }
        std::string lines;
        int count = 0;
        if (i != 1)
            lines += "    POSTimeout: \"10\" -> \"30\"\n", ++count;
        lines += "    Contrast: \"50\" -> \"70\"\n", ++count;
        lines += i != 3 ? "    TextReset: \"Please scan an item\" -> \"Welcome\"\n"
                        : "    TextReset: \"WELCOME\" -> \"Welcome\"\n";
        ++count;
        expected += label(i) + ": " + std::to_string(count) + " changes\n" + lines;
    }
    expected += "diff: 50 units, 40 with changes, 0 without, 10 failed\nretry: again.txt\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(retryUnits(dir_ + "/again.txt").size(), 10u);

    // Nothing but queries and the connection's own Force flags reached a unit.
    for (int i : {0, 1, 4, 8}) {
        std::string j = journal(i);
        EXPECT_NE(j.find("recv MDSQ \"*\""), std::string::npos) << i;
        for (const char* set : {"POSTimeout =", "Contrast =", "TextReset =", "COMMIT"})
            EXPECT_EQ(j.find(std::string("recv MDSQ \"") + set), std::string::npos) << i << set;
    }
    EXPECT_EQ(value(0, "POSTimeout"), "10");
}

TEST_F(Fleet, ApplyBacksUpSetsVerifiesAndCommitsOnlyCleanUnits) {
    start(3);
    support::RunResult r = fleet({"apply", "fleet.txt", "modes.ini", "--commit", "--timeout", "2",
                                  "--backup-dir", "before", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    nlohmann::json doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["units"].size(), 50u);
    EXPECT_EQ(doc["failed"], 20);
    EXPECT_EQ(doc["retry_file"], "before/retry.inventory");
    std::set<std::string> failed;
    for (int i = 0; i < kUnits; ++i) {
        SCOPED_TRACE(label(i));
        const nlohmann::json& unit = doc["units"][i];
        EXPECT_EQ(unit["address"], address(i));
        std::string reason = unit["reason"];
        switch (kindOf(i)) {
            case Kind::Clean:
                EXPECT_EQ(reason, "applied 3 modes, committed");
                EXPECT_EQ(unit["file"], "before/" + name(i) + ".ini");
                break;
            case Kind::Silent:
                EXPECT_EQ(reason, "timed out");
                break;
            case Kind::Refusing:
                EXPECT_EQ(reason, "refused mode POSTimeout");
                break;
            case Kind::Dropping:
                EXPECT_EQ(reason, "connection lost");
                break;
            case Kind::Drifting:
                // Values were set before the mismatch: the unit holds them,
                // uncommitted, and the reason says so.
                EXPECT_EQ(reason,
                          "verify mismatch: Contrast reads back '71', not '70' after setting "
                          "POSTimeout, Contrast, TextReset; not committed");
                break;
        }
        EXPECT_EQ(unit["failed"], kindOf(i) != Kind::Clean);
        EXPECT_EQ(unit["committed"], kindOf(i) == Kind::Clean);
        if (kindOf(i) != Kind::Clean)
            failed.insert(inventoryLine(i));
    }
    EXPECT_EQ(retryUnits(dir_ + "/before/retry.inventory"), failed);

    // The backup holds the values from before the change.
    EXPECT_NE(support::readFile(dir_ + "/before/unit-0.ini").find("POSTimeout           = 10\n"),
              std::string::npos);
    // After a restart only committed values remain: the clean unit keeps the
    // new ones, the drifting unit (set but not committed) has its old ones.
    for (int i : {0, 8}) EXPECT_EQ(tarnix({"-iRESTART=TRUE", address(i)}).status, 0);
    EXPECT_EQ(value(0, "POSTimeout"), "30");
    EXPECT_EQ(value(0, "TextReset"), "Welcome");
    EXPECT_EQ(value(8, "POSTimeout"), "10");

    // A second run over the clean north units finds nothing to set, and
    // commits all the same.
    support::writeFile(dir_ + "/clean.txt", inventoryLine(0) + "\n" + inventoryLine(1) + "\n" +
                                                inventoryLine(30) + "\n");
    r = fleet({"apply", "clean.txt", "modes.ini", "--commit", "--group", "north", "--backup-dir",
               "second"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              label(0) + ": committed, nothing to set\n" + label(1) +
                  ": committed, nothing to set\n"
                  "apply: 2 units, 0 applied, 2 unchanged, 0 failed\n"
                  "backups: second\nreport: second/report.txt\nretry: none, every unit done\n");
}

TEST(FleetInput, BadInventoriesAndIniFilesStopBeforeAnythingIsSent) {
    std::string dir = support::makeTempDir("unitfleet-input");
    support::writeFile(dir + "/bad.txt",
                       "127.17.9.1 a\n# comment\nno-such-host.invalid b\n127.17.9.1 c\n");
    support::writeFile(dir + "/good.txt", "127.17.9.1 a tills\n");
    support::writeFile(dir + "/bad.ini", "UnitID = x\nPOSTimeout = 1\nunitid = y\n");
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), UNITFLEET_BIN);
        return support::run(args, {.input = {}, .workingDirectory = dir});
    };
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        // A name that does not resolve is no syntax fault: it fails its unit
        // alone when the run gets to it.
        {{"backup", "bad.txt", "out"},
         "bad.txt:4: 127.17.9.1 (127.17.9.1) is already listed at line 1\n"
         "unitfleet: bad.txt has faults; no unit was contacted\n"},
        {{"diff", "good.txt", "bad.ini"},
         "bad.ini:3: unitid is set again (first at line 1)\n"
         "unitfleet: bad.ini has faults; no unit was contacted\n"},
        {{"diff", "good.txt", "missing.ini"},
         "unitfleet: cannot read ini file missing.ini: No such file or directory\n"},
        {{"backup", "good.txt", "out", "--group", "scales"},
         "unitfleet: no unit of good.txt is in the groups given\n"},
        {{"apply", "good.txt", "bad.ini", "--restart"},
         "unitfleet: --restart needs --commit: a restart drops uncommitted values\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2]);
        support::RunResult r = run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(dir + "/out"));
    for (auto args : std::vector<std::vector<std::string>>{{}, {"backup", "good.txt"}, {"frob"}})
        EXPECT_EQ(run(args).status, 2);
    support::RunResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"backup", "diff", "apply", "Inventory:"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    support::RunResult applyHelp = run({"apply", "--help"});
    EXPECT_NE(applyHelp.out.find("--commit"), std::string::npos);
    EXPECT_NE(applyHelp.out.find("3 a rollout"), std::string::npos);
    // Each command's help has its own exit codes only.
    support::RunResult statusHelp = run({"status", "--help"});
    EXPECT_NE(statusHelp.out.find("Exit status: 0 every unit up"), std::string::npos);
    EXPECT_EQ(statusHelp.out.find("rollout"), std::string::npos);
}

}  // namespace
