// SPDX-License-Identifier: Apache-2.0
// unitfleet against units that work against it, and an operator who is
// careless with pipes and file names: every failure is reported as one, no
// unit's result is lost, and no unit can cost more than its bounds. Units on
// 127.18.x.y, one x per test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "tests/support/process.h"
#include "tests/support/scripted_unit.h"
#include "tests/unitfleet/fleet_fixture.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using support::Answer;
using support::Bytes;

const char* const kLocked = "configuration locked by another session";

// A unit that lists `definitions` and `values`, echoes its flags and answers
// any other query with `other`.
support::ScriptedUnit::Responder tableUnit(std::string definitions, std::string values,
                                           std::function<Answer(const std::string&)> other = {}) {
    return [=](const Bytes& frame) -> Answer {
        std::string query = support::queryText(frame);
        if (query.empty())
            return support::modeReply(definitions);
        if (query == "*")
            return support::modeReply(values);
        if (query.rfind("Force", 0) == 0 || !other)
            return support::modeReply(query);
        return other(query);
    };
}

using Hostile = unitfleet_test::FleetFixture<18>;

// The unit refuses every query, or only the two that list its modes: either
// way no command may call it a success.
TEST_F(Hostile, ARefusingUnitFailsEveryCommandAndIsRetried) {
    struct Unit {
        const char* name;
        const char* refusedQuery;  // the first query it refuses
        bool flagsToo;
    } units[] = {{"locked", "ForceResponse=TRUE", true}, {"listless", "", false}};
    for (const Unit& u : units) {
        SCOPED_TRACE(u.name);
        support::ScriptedUnit unit(address(1, 1), [&](const Bytes& frame) -> Answer {
            std::string query = support::queryText(frame);
            if (!u.flagsToo && query.rfind("Force", 0) == 0)
                return support::modeReply(query);
            return support::errorReport(kLocked);
        });
        ASSERT_TRUE(unit.listening());
        write("fleet.txt", address(1, 1) + " " + u.name + "\n");
        write("modes.ini", "POSTimeout = 30\n");
        std::string reason = address(1, 1) + " " + u.name + ": refused query: \"" + u.refusedQuery +
                             "\": " + kLocked + "\n";
        struct Command {
            std::vector<std::string> args;
            const char* retry;
        } commands[] = {
            {{"backup", "fleet.txt", "saved"}, "saved/retry.inventory"},
            {{"diff", "fleet.txt", "modes.ini", "--retry", "diff.retry"}, "diff.retry"},
            {{"apply", "fleet.txt", "modes.ini", "--commit", "--backup-dir", "before"},
             "before/retry.inventory"},
        };
        for (const Command& c : commands) {
            SCOPED_TRACE(c.args[0]);
            support::RunResult r = fleet(c.args);
            EXPECT_EQ(r.status, 1) << r.out << r.err;
            EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), reason);
            EXPECT_NE(read(c.retry).find(address(1, 1) + " " + u.name + "  # refused query"),
                      std::string::npos);
        }
        EXPECT_FALSE(fs::exists(path("saved/" + std::string(u.name) + ".ini")));
        for (const Bytes& frame : unit.frames())
            EXPECT_EQ(support::queryText(frame).find("COMMIT"), std::string::npos);
    }
}

TEST_F(Hostile, ApplyThenApplyCommitSendsExactlyOneCommitAndTheValuesSurviveARestart) {
    simulate(2, 1);
    std::string unit = address(2, 1);
    write("fleet.txt", unit + " till\n");
    write("modes.ini", "POSTimeout = 30\nContrast = 70\n");
    support::RunResult r = fleet({"apply", "fleet.txt", "modes.ini", "--backup-dir", "first"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), unit + " till: applied 2 modes");
    r = fleet({"apply", "fleet.txt", "modes.ini", "--commit", "--backup-dir", "second"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), unit + " till: committed, nothing to set");

    std::string journal = read("journal-" + unit);
    std::size_t commits = 0;
    for (std::size_t at = 0;
         (at = journal.find("recv MDSQ \"COMMIT=TRUE\"", at)) != std::string::npos; ++at)
        ++commits;
    EXPECT_EQ(commits, 1u);
    EXPECT_EQ(program({TARNIX_BIN, "-iRESTART=TRUE", unit}).status, 0);
    EXPECT_EQ(program({TARNIX_BIN, "-gPOSTimeout", unit}).out, "POSTimeout = 30\r\n");
}

// getrusage's peak for the children reaped so far, in KiB.
long childPeakKib() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST_F(Hostile, AnOversizedTableFailsItsUnitInBoundedMemoryAndTheOthersSucceed) {
    simulate(3, 3);
    // 65,000 one-letter lines: the name runs on across all of them.
    std::string runOn;
    for (int i = 0; i < 65000; ++i) runOn += "a\n";
    support::ScriptedUnit runaway(address(3, 4), tableUnit(runOn, ""));
    // Sound lines, but padded to one 49-character name the listing passes
    // 1 MiB.
    std::string padded = std::string(49, 'N') + " = STRING,8\r\n";
    for (int i = 0; i < 30000; ++i) padded += "a b\n";
    support::ScriptedUnit wide(address(3, 5), tableUnit(padded, ""));
    std::string inventory;
    for (int i = 1; i <= 5; ++i) inventory += address(3, i) + " u" + std::to_string(i) + "\n";
    write("fleet.txt", inventory);

    support::RunResult r = fleet({"backup", "fleet.txt", "saved", "--json"});
    long peak = childPeakKib();
    EXPECT_EQ(r.status, 1) << r.err;
    nlohmann::json doc = nlohmann::json::parse(r.out);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(doc["units"][i]["outcome"], "saved") << i;
    EXPECT_EQ(doc["units"][3]["reason"], "invalid mode table: definition line 1 has no type: 'a'");
    std::string tooLarge = doc["units"][4]["reason"];
    EXPECT_EQ(tooLarge.rfind("listing too large: the listing would take ", 0), 0u) << tooLarge;
    EXPECT_FALSE(fs::exists(path("saved/u4.ini")));
    EXPECT_FALSE(fs::exists(path("saved/u5.ini")));
    EXPECT_EQ(read("saved/report.json"), r.out);
    // A figure for the notes, not a limit: the whole run's peak memory.
    std::cout << "unitfleet peak RSS with a 65,000-line and a 1.8 MB-listing unit: " << peak
              << " KiB\n";
    RecordProperty("unitfleet_peak_rss_kib", std::to_string(peak));
}

TEST_F(Hostile, AClosedOutputPipeStillLeavesTheReportAndTheRetryFile) {
    simulate(4, 8, {"--every", "8+7", "--silent"});
    std::string inventory;
    for (int i = 1; i <= 8; ++i) inventory += address(4, i) + " u" + std::to_string(i) + "\n";
    write("fleet.txt", inventory);
    write("modes.ini", "POSTimeout = 30\n");
    std::string command = std::string(UNITFLEET_BIN) +
                          " apply fleet.txt modes.ini --commit --backup-dir out --timeout 2 2>&1 "
                          "| head -1; exit ${PIPESTATUS[0]}";
    support::RunResult r = program({"/bin/bash", "-c", command});
    EXPECT_EQ(r.status, 1) << r.out << r.err;  // some failed, not killed by SIGPIPE
    std::string report = read("out/report.txt");
    EXPECT_NE(report.find("apply: 8 units, 7 applied, 0 unchanged, 1 failed\n"), std::string::npos)
        << report;
    EXPECT_NE(read("out/retry.inventory").find(address(4, 8) + " u8  # timed out"),
              std::string::npos);
}

TEST_F(Hostile, RetryFilesNeverOverwriteAnInventoryNorLoseAnotherRunsUnits) {
    simulate(5, 4, {"--every", "4+3", "--silent"});
    auto line = [&](int host, const char* group) {
        return address(5, host) + " u" + std::to_string(host) + " " + group;
    };
    std::string inventory = line(1, "grpA") + "\n" + line(2, "grpB") + "\n" + line(3, "grpA") +
                            "\n" + line(4, "grpA") + "\n";
    write("fleet.txt", inventory);
    write("clean.txt", line(1, "grpA") + "\n" + line(2, "grpB") + "\n");

    support::RunResult r = fleet({"backup", "fleet.txt", "dir", "--timeout", "1"});
    EXPECT_EQ(r.status, 1);
    std::string retry = read("dir/retry.inventory");
    EXPECT_NE(retry.find(line(4, "grpA") + "  # timed out"), std::string::npos) << retry;

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string lastLine;  // of the output; for status 2 of the errors
    } cases[] = {
        // Retrying a group of the retry file itself: a new file named after
        // the run, and the retry file it read stays as it is.
        {{"backup", "-g", "grpA", "dir/retry.inventory", "dir", "--timeout", "1"},
         1,
         "retry: dir/retry-backup-"},
        // A group that all went well: no retry file, and the other groups'
        // failures stay listed.
        {{"backup", "-g", "grpB", "fleet.txt", "dir"}, 0, "retry: none, every unit done"},
        {{"backup", "fleet.txt", "dir", "--retry", "./fleet.txt"},
         2,
         "unitfleet: --retry ./fleet.txt is the inventory itself; name another file (the "
         "inventory is never written)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[3]);
        r = fleet(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        std::string text = c.status == 2 ? r.err : r.out;
        text.pop_back();
        EXPECT_EQ(text.substr(text.rfind('\n') + 1).substr(0, c.lastLine.size()), c.lastLine);
        EXPECT_EQ(read("dir/retry.inventory"), retry);
        EXPECT_EQ(read("fleet.txt"), inventory);
    }
    std::vector<std::string> runNamed;
    for (const auto& entry : fs::directory_iterator(path("dir"))) {
        if (entry.path().filename().string().rfind("retry-backup-", 0) == 0)
            runNamed.push_back(entry.path().string());
    }
    ASSERT_EQ(runNamed.size(), 1u);
    std::string own = support::readFile(runNamed[0]);
    EXPECT_NE(own.find(line(4, "grpA") + "  # timed out"), std::string::npos) << own;
    EXPECT_EQ(own.find("grpB"), std::string::npos) << own;

    // A whole run without failures removes the retry file it makes stale.
    r = fleet({"backup", "clean.txt", "dir"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find("retry: none, every unit done (removed the earlier dir/retry.inventory)\n"),
        std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(path("dir/retry.inventory")));
}

TEST_F(Hostile, UnitTextIsEscapedOnTheTerminalAndExactInJson) {
    std::string hostile = "\x1B]0;pwned\x07\x1B[2J";
    support::ScriptedUnit unit(address(6, 1),
                               tableUnit("UnitID = STRING,32\r\nTextReset = STRING,64\r\n",
                                         "UnitID = U1\r\nTextReset = " + hostile + "\r\n"));
    write("fleet.txt", "\xEF\xBB\xBF" + address(6, 1) + " till\r\n");  // BOM and CRLF too
    write("modes.ini", "TextReset = Welcome\n");
    support::RunResult r = fleet({"diff", "fleet.txt", "modes.ini"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, address(6, 1) +
                         " till: 1 change\n"
                         "    TextReset: \"\\x1B]0;pwned\\x07\\x1B[2J\" -> \"Welcome\"\n"
                         "diff: 1 unit, 1 with changes, 0 without, 0 failed\n");
    r = fleet({"diff", "fleet.txt", "modes.ini", "--json"});
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
    nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["units"][0]["changes"][0]["unit"], hostile);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST_F(Hostile, WorkersThatCannotStartFailTheirUnitsAndTheRunStillReports) {
    if (kSanitized)
        GTEST_SKIP() << "a sanitizer's runtime must be the first library loaded";
    write("fleet.txt", address(8, 1) + " a\n" + address(8, 2) + " b\n");
    std::string command = "LD_PRELOAD=" NO_THREADS_LIB " exec " + std::string(UNITFLEET_BIN) +
                          " backup fleet.txt saved --timeout 1";
    support::RunResult r = program({"/bin/bash", "-c", command});
    EXPECT_EQ(r.status, 1) << r.err;
    std::string reason = ": not run: no worker thread could be started: ";
    EXPECT_EQ(r.out.rfind(address(8, 1) + " a" + reason, 0), 0u) << r.out;
    EXPECT_NE(read("saved/report.txt").find("backup: 2 units, 0 saved, 2 failed\n"),
              std::string::npos);
    EXPECT_NE(read("saved/retry.inventory").find(address(8, 2) + " b  # not run"),
              std::string::npos);
}

// Descriptors above 1023 do not fit select's sets: every client must wait
// on them all the same.
TEST_F(Hostile, ElevenHundredOpenDescriptorsAndEverythingStillWorks) {
    simulate(7, 1);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < 1200)
        GTEST_SKIP() << "the descriptor limit is " << limit.rlim_max;
    rlimit raised = limit;
    raised.rlim_cur = std::max<rlim_t>(limit.rlim_cur, 1200);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    // Inherited by every program started below, so their sockets come after.
    std::vector<int> held;
    for (int i = 0; i < 1100; ++i) held.push_back(::open("/dev/null", O_RDONLY));
    ASSERT_GE(held.back(), 1100);
    std::string unit = address(7, 1);
    write("fleet.txt", unit + " till\n");

    support::RunResult tarnix = program({TARNIX_BIN, unit});
    support::RunResult probe = program({PROBE_BIN, unit});
    support::RunResult backup = fleet({"backup", "fleet.txt", "saved"});
    for (int fd : held) ::close(fd);
    setrlimit(RLIMIT_NOFILE, &limit);

    EXPECT_EQ(tarnix.status, 0) << tarnix.err;
    EXPECT_NE(tarnix.out.find("UnitID"), std::string::npos);
    EXPECT_EQ(probe.status, 0) << probe.out << probe.err;
    EXPECT_NE(probe.out.find("UnitStatus"), std::string::npos) << probe.out;
    EXPECT_EQ(backup.status, 0) << backup.out << backup.err;
    EXPECT_EQ(read("saved/till.ini"), tarnix.out);
}

}  // namespace
