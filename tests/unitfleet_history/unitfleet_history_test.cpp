// SPDX-License-Identifier: Apache-2.0
// Backups kept with --git, read back with the git command as an independent
// reader: which runs made commits, what they hold, and unitfleet history.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class GitBackups : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = support::makeTempDir("unitfleet-history");
        support::writeFile(dir_ + "/fleet.txt", "127.27." + net_ + ".1 till-01 tills\n127.27." +
                                                    net_ + ".2 till-02 tills\n127.27." + net_ +
                                                    ".3 scale-01\n");
    }
    void TearDown() override {
        first_.reset();
        rest_.reset();
        fs::remove_all(dir_);
    }

    // Serves units FIRST to 3; their clocks move at every read. Unit 1 has a
    // process of its own, so that taking it away leaves the others (and the
    // UnitIDs a process gives its units in address order) as they were.
    void serve(int first) {
        first_.reset();
        if (!rest_)
            rest_ = start(address(2) + "-" + address(3));
        if (first == 1)
            first_ = start(address(1));
    }
    std::unique_ptr<support::Background> start(const std::string& addresses) {
        auto sim = std::make_unique<support::Background>(
            std::vector<std::string>{UNITSIM_BIN, "--address", addresses, "--drift", "DateTime"});
        EXPECT_TRUE(sim->waitForOutput("listening", 10s)) << sim->stop().err;
        return sim;
    }
    std::string address(int n) const { return "127.27." + net_ + "." + std::to_string(n); }

    support::RunResult fleet(std::vector<std::string> args) {
        args.insert(args.begin(), UNITFLEET_BIN);
        support::RunOptions options;
        options.workingDirectory = dir_;
        options.timeout = 60000ms;
        return support::run(args, options);
    }
    std::string git(std::vector<std::string> args) {
        args.insert(args.begin(), {GIT_BIN, "-C", dir_ + "/saved"});
        support::RunResult r = support::run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    void tarnix(const std::string& set, int unit) {
        EXPECT_EQ(support::run({TARNIX_BIN, "-i" + set, address(unit)}).status, 0);
    }

    std::string net_ = "1";
    std::string dir_;
    std::unique_ptr<support::Background> first_, rest_;
};

std::string lastLine(const std::string& text) {
    std::size_t end = text.find_last_not_of('\n');
    std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

TEST_F(GitBackups, OnlyRealChangesMakeCommitsAndFailedUnitsKeepTheirListing) {
    serve(1);
    support::RunResult r = fleet({"backup", "fleet.txt", "saved", "--git"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lastLine(r.out).rfind("history: commit ", 0), 0u) << r.out;
    EXPECT_EQ(lastLine(r.out).substr(24), "backup of 3 units: 3 changed, 0 failed");

    // No change but the clocks: no commit.
    r = fleet({"backup", "fleet.txt", "saved", "--git"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lastLine(r.out), "history: nothing changed, no commit");

    // One unit's POSTimeout changed: one commit naming it.
    tarnix("POSTimeout=20", 1);
    r = fleet({"backup", "fleet.txt", "saved", "--git"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("backup of 3 units: 1 changed, 0 failed"), std::string::npos) << r.out;
    std::string changed = fs::path(dir_ + "/saved/till-01.ini").string();
    std::string listing = support::readFile(changed);

    // One unit gone: it fails, keeps its listing, and nothing is committed.
    serve(2);
    r = fleet({"backup", "fleet.txt", "saved", "--git", "--timeout", "2"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("127.27.1.1 till-01: unreachable"), std::string::npos) << r.out;
    EXPECT_EQ(lastLine(r.out), "history: nothing changed, no commit");
    EXPECT_EQ(support::readFile(changed), listing);

    EXPECT_EQ(git({"rev-list", "--count", "HEAD"}), "2\n");
    EXPECT_EQ(git({"log", "--format=%an <%ae> %cn"}),
              "unitfleet <unitfleet@localhost> unitfleet\nunitfleet <unitfleet@localhost> "
              "unitfleet\n");
    EXPECT_EQ(git({"log", "-1", "--format=%B"}),
              "backup of 3 units: 1 changed, 0 failed\n\ntill-01: POSTimeout\n\n");
    // The last commit changes exactly that mode's line (and the clock read
    // with it) in that unit's file; the folder matches it, clocks included.
    std::string patch = git({"log", "-1", "-p", "--format="});
    EXPECT_NE(patch.find("--- a/till-01.ini"), std::string::npos) << patch;
    EXPECT_NE(patch.find("\n-POSTimeout           = 10\n+POSTimeout           = 20\n"),
              std::string::npos)
        << patch;
    EXPECT_EQ(patch.find("till-02.ini"), std::string::npos) << patch;
    EXPECT_EQ(git({"status", "--porcelain", "--untracked-files=no"}), "");
    EXPECT_EQ(git({"ls-files"}), "scale-01.ini\ntill-01.ini\ntill-02.ini\n");

    r = fleet({"history", "saved"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find("backup of 3 units: 1 changed, 0 failed\n    till-01: POSTimeout 10 -> 20\n"),
        std::string::npos)
        << r.out;
    r = fleet({"history", "saved", "till-02"});
    EXPECT_EQ(r.out.find("POSTimeout"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("    till-02: new listing\n"), std::string::npos) << r.out;
    r = fleet({"history", "saved", "--since", "2999-01-01"});
    EXPECT_EQ(r.out, "no changes\n");
    EXPECT_EQ(fleet({"history", "fleet.txt"}).status, 2);
    EXPECT_EQ(fleet({"history", "saved", "--since", "soon"}).status, 2);
}

TEST_F(GitBackups, ApplyCommitsTheStatesBeforeAndAfter) {
    net_ = "2";
    SetUp();
    serve(1);
    support::writeFile(dir_ + "/modes.ini", "POSTimeout = 30\n");
    support::RunResult r = fleet({"apply", "fleet.txt", "modes.ini", "--commit", "--git", "saved"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(git({"log", "--format=%s"}),
              "apply of 3 units: 3 changed, 0 failed\n"
              "apply of 3 units (state before): 3 changed, 0 failed\n");
    EXPECT_NE(git({"show", "HEAD~1:till-02.ini"}).find("POSTimeout           = 10\n"),
              std::string::npos);
    EXPECT_NE(git({"show", "HEAD:till-02.ini"}).find("POSTimeout           = 30\n"),
              std::string::npos);
    EXPECT_EQ(git({"log", "-1", "--format=%b"}),
              "scale-01: POSTimeout\ntill-01: POSTimeout\ntill-02: POSTimeout\n\n");
    EXPECT_EQ(
        fleet({"apply", "fleet.txt", "modes.ini", "--git", "saved", "--backup-dir", "x"}).status,
        2);
}

TEST_F(GitBackups, RestoreFromARevisionPutsTheOldValueBack) {
    net_ = "3";
    SetUp();
    serve(1);
    ASSERT_EQ(fleet({"backup", "fleet.txt", "saved", "--git"}).status, 0);
    tarnix("POSTimeout=20", 1);
    ASSERT_EQ(fleet({"backup", "fleet.txt", "saved", "--git"}).status, 0);

    support::RunResult r =
        fleet({"restore", "fleet.txt", "saved@HEAD~1", "--backup-dir", "before"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_EQ(fleet({"backup", "fleet.txt", "after"}).status, 0);
    EXPECT_NE(support::readFile(dir_ + "/after/till-01.ini").find("\nPOSTimeout           = 10\n"),
              std::string::npos);

    r = fleet({"restore", "fleet.txt", "saved@no-such-revision"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no revision no-such-revision"), std::string::npos) << r.err;
}

}  // namespace
