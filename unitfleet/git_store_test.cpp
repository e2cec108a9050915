// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/git_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process.h"
#include "unitfleet/history_command.h"
#include "unitfleet/revision_argument.h"

namespace unitfleet {
namespace {

namespace fs = std::filesystem;

std::string listing(const std::string& unitId, int timeout, const std::string& clock) {
    return "\n\n# ***  Current Content  ***\n\nTargetIP = 127.0.0.1\nUnitID      = " + unitId +
           "\nPOSTimeout  = " + std::to_string(timeout) + "\nDateTime    = " + clock + "\n";
}

class GitStore : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = support::makeTempDir("unitfleet-git"); }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string& unit, const std::string& text) {
        support::writeFile(dir_ + "/" + unit + ".ini", text);
    }
    GitCommit commit(std::size_t units, std::size_t failed = 0,
                     std::vector<std::string> stems = {"till-01", "till-02"}) {
        GitRun run;
        run.units = units;
        run.failed = failed;
        run.stems = std::move(stems);
        std::string error;
        std::optional<GitCommit> made = commitListings(dir_, run, error);
        EXPECT_TRUE(made) << error;
        return made.value_or(GitCommit{});
    }
    std::string at(const std::string& revision, const std::string& unit) {
        std::string error;
        return listingAt(dir_, revision, unit, error).value_or("missing: " + error);
    }

    std::string dir_;
};

TEST_F(GitStore, CommitsOnlyRunsThatChangedAListing) {
    write("till-01", listing("T1", 10, "2026-01-01 00:00:00"));
    write("till-02", listing("T2", 10, "2026-01-01 00:00:00"));
    support::writeFile(dir_ + "/retry.inventory", "# not tracked\n");
    GitCommit first = commit(2);
    EXPECT_TRUE(first.made);
    EXPECT_EQ(first.summary, "backup of 2 units: 2 changed, 0 failed");

    // Only the clock moved: no commit, and the file holds the committed clock
    // again, so the folder matches its last commit.
    write("till-01", listing("T1", 10, "2026-01-01 00:05:00"));
    EXPECT_FALSE(commit(2).made);
    EXPECT_EQ(support::readFile(dir_ + "/till-01.ini"), listing("T1", 10, "2026-01-01 00:00:00"));

    write("till-01", listing("T1", 20, "2026-01-01 00:10:00"));
    GitCommit second = commit(2, 1);
    EXPECT_TRUE(second.made);
    EXPECT_EQ(second.summary, "backup of 2 units: 1 changed, 1 failed");
    EXPECT_EQ(at("HEAD", "till-01"), listing("T1", 20, "2026-01-01 00:10:00"));
    EXPECT_EQ(at("HEAD~1", "till-01"), listing("T1", 10, "2026-01-01 00:00:00"));
    EXPECT_EQ(at(first.id, "till-02"), listing("T2", 10, "2026-01-01 00:00:00"));

    fs::remove(dir_ + "/till-02.ini");
    EXPECT_TRUE(commit(1).made);
    EXPECT_EQ(at("HEAD", "till-02").rfind("missing: no listing till-02.ini at HEAD", 0), 0u);
    EXPECT_EQ(at("HEAD~1", "till-02"), listing("T2", 10, "2026-01-01 00:00:00"));

    std::string error;
    auto history = readHistory(dir_, "", std::nullopt, VolatileModes{}, error);
    ASSERT_TRUE(history) << error;
    ASSERT_EQ(history->size(), 3u);
    EXPECT_TRUE((*history)[0].units[0].removed);
    ASSERT_EQ((*history)[1].units.size(), 1u);
    ASSERT_EQ((*history)[1].units[0].changes.size(), 1u);
    EXPECT_EQ(describeChange((*history)[1].units[0].changes[0]), "POSTimeout 10 -> 20");
    EXPECT_EQ((*history)[2].units.size(), 2u);
    EXPECT_TRUE((*history)[2].units[0].added);

    auto only = readHistory(dir_, "till-02", std::nullopt, VolatileModes{}, error);
    ASSERT_TRUE(only);
    EXPECT_EQ(only->size(), 2u);  // added, then removed
    auto later = readHistory(dir_, "", std::time(nullptr) + 3600, VolatileModes{}, error);
    ASSERT_TRUE(later);
    EXPECT_TRUE(later->empty());
}

TEST_F(GitStore, ReadersNameWhatIsMissing) {
    std::string error;
    EXPECT_FALSE(listingAt(dir_, "HEAD", "till-01", error));
    EXPECT_EQ(error, dir_ + " is not a git repository");
    EXPECT_FALSE(readHistory(dir_ + "/none", "", std::nullopt, VolatileModes{}, error));
    write("till-01", listing("T1", 10, "x"));
    commit(1);
    EXPECT_EQ(at("HEAD~5", "till-01"), "missing: no revision HEAD~5 in " + dir_);
    EXPECT_EQ(at("HEAD", "nobody"), "missing: no listing nobody.ini at HEAD");
}

// One unit's history (found by name in each tree) is the whole history's
// entries for that unit, with the commit's full id and author.
TEST_F(GitStore, OneUnitsHistoryIsItsShareOfTheWhole) {
    const std::vector<std::pair<int, int>> runs = {{10, 10}, {20, 10}, {20, 30}, {40, 40}};
    for (auto [one, two] : runs) {
        write("till-01", listing("T1", one, "x"));
        write("till-02", listing("T2", two, "x"));
        commit(2);
    }
    std::string error;
    auto all = readHistory(dir_, "", std::nullopt, VolatileModes{}, error);
    ASSERT_TRUE(all) << error;
    for (const std::string unit : {"till-01", "till-02", "nobody", ".hidden", "../till-01"}) {
        SCOPED_TRACE(unit);
        auto only = readHistory(dir_, unit, std::nullopt, VolatileModes{}, error);
        ASSERT_TRUE(only) << error;
        std::vector<std::string> expected, found;
        for (const auto& entry : *all)
            for (const auto& u : entry.units)
                if (u.unit == unit)
                    expected.push_back(entry.revision + " " + std::to_string(u.changes.size()));
        for (const auto& entry : *only) {
            EXPECT_EQ(entry.author, "unitfleet");
            EXPECT_EQ(entry.revision.substr(0, 7), entry.id);
            found.push_back(entry.revision + " " + std::to_string(entry.units.at(0).changes.size()));
        }
        EXPECT_EQ(found, expected);
    }
}

TEST_F(GitStore, RevisionsHeadAndManyListingsAtOnce) {
    std::string error;
    EXPECT_EQ(headRevision(dir_, error), std::string()) << "no repository yet";
    write("till-01", listing("T1", 10, "x"));
    write("till-02", listing("T2", 10, "x"));
    commit(2);
    write("till-01", listing("T1", 20, "x"));
    commit(2);
    auto head = headRevision(dir_, error);
    ASSERT_TRUE(head && head->size() == 40u) << error;
    EXPECT_EQ(resolveRevision(dir_, "HEAD", error), head);
    auto previous = resolveRevision(dir_, "HEAD~1", error);
    ASSERT_TRUE(previous) << error;
    EXPECT_NE(*previous, *head);
    EXPECT_FALSE(resolveRevision(dir_, "HEAD~2", error));
    EXPECT_EQ(error, "no revision HEAD~2 in " + dir_);
    auto found = listingsAt(dir_, previous->substr(0, 10), {"till-01", "till-02", "nobody",
                                                            "../till-01", ".git/config"}, error);
    ASSERT_TRUE(found) << error;
    EXPECT_EQ(found->size(), 2u);
    EXPECT_EQ(found->at("till-01"), listing("T1", 10, "x"));
}

TEST_F(GitStore, RevisionArgumentsSplitAtTheFirstAtSignWithAFolderBeforeIt) {
    fs::create_directory(dir_ + "/odd@name");
    fs::create_directory(dir_ + "/saved");
    struct Case {
        std::string argument;
        std::optional<std::pair<std::string, std::string>> expected;
    } cases[] = {
        {"saved@HEAD~1", {{"saved", "HEAD~1"}}},
        {"a@b@3f2a1bc", {{"a", "b@3f2a1bc"}}},  // no folder at either: the first '@'
        {dir_ + "/saved@HEAD@{1}", {{dir_ + "/saved", "HEAD@{1}"}}},
        {dir_ + "/odd@name", std::nullopt},  // an existing folder as it is
        {dir_ + "/odd@name@HEAD", {{dir_ + "/odd@name", "HEAD"}}},
        {"saved", std::nullopt},
        {"saved@", std::nullopt},
        {"@HEAD", std::nullopt},
    };
    for (const Case& c : cases) {
        std::optional<RevisionArgument> got = splitRevisionArgument(c.argument);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.argument;
        if (got) {
            EXPECT_EQ(got->dir, c.expected->first) << c.argument;
            EXPECT_EQ(got->revision, c.expected->second) << c.argument;
        }
    }
}

TEST(HistoryDates, LocalDatesWithOrWithoutATime) {
    std::tm parts{};
    parts.tm_year = 126;
    parts.tm_mon = 11;
    parts.tm_mday = 9;
    parts.tm_hour = 10;
    parts.tm_min = 30;
    parts.tm_isdst = -1;
    std::time_t expected = std::mktime(&parts);
    EXPECT_EQ(parseLocalDate("2026-12-09 10:30"), expected);
    EXPECT_EQ(parseLocalDate("2026-12-09 10:30:00"), expected);
    EXPECT_EQ(parseLocalDate("2026-12-09"), expected - 10 * 3600 - 30 * 60);
    EXPECT_TRUE(parseLocalDate("2028-02-29"));  // a leap day
    for (const char* bad : {"", "yesterday", "2026-13-01", "2026-12-09x", "2026-12-09 25:00",
                            "2026-12-09 10:30:00 extra", "2026-02-31", "2026-02-29",
                            "2026-04-31 10:00", "2026-12-9", "+2026-12-09"})
        EXPECT_FALSE(parseLocalDate(bad)) << bad;
}

}  // namespace
}  // namespace unitfleet
