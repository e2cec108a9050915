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

}  // namespace
}  // namespace windows_test
