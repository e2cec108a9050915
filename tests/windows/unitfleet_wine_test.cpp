// SPDX-License-Identifier: Apache-2.0
// unitfleet.exe under Wine against Linux simulated units on
// 127.0.17.1-10 (unit 4 refuses POSTimeout): backup and apply do what the
// Linux build does, and write the same files.
#include <filesystem>
#include <memory>

#include "tests/windows/wine.h"

namespace windows_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class UnitfleetUnderWine : public WineTest {
  protected:
    void SetUp() override {
        WineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        dir_ = support::makeTempDir("unitfleet-wine");
        sim_ = std::make_unique<support::Background>(
            std::vector<std::string>{UNITSIM_BIN, "--address", "127.0.17.1-127.0.17.10", "--every",
                                     "10+3", "--refuse", "POSTimeout"});
        ASSERT_TRUE(sim_->waitForOutput("10 units listening", 20s)) << sim_->stop().err;
        std::string inventory;
        for (int i = 1; i <= 10; ++i)
            inventory += "127.0.17." + std::to_string(i) + " till-" + std::to_string(i) + "\n";
        support::writeFile(dir_ + "/fleet.txt", inventory);
        support::writeFile(dir_ + "/modes.ini", "POSTimeout = 45\nTextReset = Hello\n");
    }
    support::RunResult fleetExe(std::vector<std::string> args) {
        support::RunOptions options;
        options.workingDirectory = dir_;
        options.timeout = 120000ms;
        return wine("unitfleet.exe", std::move(args), options);
    }
    support::RunResult fleetLinux(std::vector<std::string> args) {
        args.insert(args.begin(), UNITFLEET_BIN);
        support::RunOptions options;
        options.workingDirectory = dir_;
        return support::run(args, options);
    }

    std::string dir_;
    std::unique_ptr<support::Background> sim_;
};

TEST_F(UnitfleetUnderWine, BackupAndApplyAsOnLinux) {
    support::RunResult r = fleetExe({"backup", "fleet.txt", "win", "-j", "4"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(unixLineEnds(r.out).find("backup: 10 units, 10 saved, 0 failed\n"), std::string::npos)
        << r.out;
    support::RunResult linux = fleetLinux({"backup", "fleet.txt", "lin"});
    EXPECT_EQ(linux.status, 0) << linux.err;
    for (int i = 1; i <= 10; ++i) {
        std::string file = "/till-" + std::to_string(i) + ".ini";
        // Listings are written in binary: the same bytes on both systems.
        EXPECT_EQ(support::readFile(dir_ + "/win" + file), support::readFile(dir_ + "/lin" + file))
            << file;
    }

    r = fleetExe({"apply", "fleet.txt", "modes.ini", "--commit", "--backup-dir", "before",
                  "--batch", "5", "--max-fail", "0"});
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    std::string out = unixLineEnds(r.out);
    EXPECT_NE(out.find("127.0.17.4 till-4: refused mode POSTimeout\n"), std::string::npos) << out;
    EXPECT_NE(out.find("127.0.17.6 till-6: not attempted (rollout stopped after batch 1)\n"),
              std::string::npos);
    EXPECT_NE(out.find("apply: 10 units, 4 applied, 0 unchanged, 1 failed, 5 not attempted\n"),
              std::string::npos);
    // The retry file replaced nothing and was written whole.
    std::string retry = unixLineEnds(support::readFile(dir_ + "/before/retry.inventory"));
    EXPECT_NE(retry.find("127.0.17.4 till-4  # refused mode POSTimeout\n"), std::string::npos);
    EXPECT_EQ(fleetLinux({"diff", "fleet.txt", "modes.ini"}).out.find("till-1: 2 changes"),
              std::string::npos);  // till-1 has the new values now
}

// The causes of failures come from the Windows socket errors: a refused
// connect, a unit behind another port and a name that does not resolve read
// as they do on Linux, and fail only their own units.
TEST_F(UnitfleetUnderWine, FailuresNameTheirCausesAsOnLinux) {
    support::writeFile(dir_ + "/causes.txt",
                       "127.0.17.1 till-1\n"
                       "127.0.17.2:1999 closed-port\n"
                       "no-such-unit.invalid stale-name\n"
                       "127.0.17.11 nobody\n");
    support::RunResult r = fleetExe({"backup", "causes.txt", "win", "--timeout", "5"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    std::string out = unixLineEnds(r.out);
    for (const char* line : {"127.0.17.2:1999 closed-port: unreachable: connection refused\n",
                             "no-such-unit.invalid stale-name: cannot resolve",
                             "127.0.17.11 nobody: unreachable: connection refused\n",
                             "backup: 4 units, 1 saved, 3 failed\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    support::RunResult linux = fleetLinux({"backup", "causes.txt", "lin", "--timeout", "5"});
    EXPECT_EQ(linux.status, 1) << linux.err;
    // The same units to retry, with the same reasons (the headings differ by
    // their time only).
    auto body = [](std::string text) { return text.substr(text.find('\n') + 1); };
    EXPECT_EQ(body(unixLineEnds(support::readFile(dir_ + "/win/retry.inventory"))),
              body(support::readFile(dir_ + "/lin/retry.inventory")));
}

// The Windows build keeps no git history: --git is refused before any unit
// is contacted, and the refused run leaves no folder behind.
TEST_F(UnitfleetUnderWine, GitHistoryIsRefusedAndLeavesNoFolder) {
    support::RunResult r = fleetExe({"backup", "fleet.txt", "history", "--git"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("keeps no git history"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ + "/history"));
    r = fleetExe({"apply", "fleet.txt", "modes.ini", "--git", "store"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_FALSE(fs::exists(dir_ + "/store"));
}

}  // namespace
}  // namespace windows_test
