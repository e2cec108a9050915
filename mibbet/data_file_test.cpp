// SPDX-License-Identifier: Apache-2.0
#include "mibbet/data_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "tests/support/process.h"

namespace mibbet {
namespace {

struct LookupCase {
    const char* name;
    std::string content;
    std::string key;
    std::optional<std::string> value;
};

class AnswersLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(AnswersLookup, FindsWhatTheLineReaderWould) {
    const LookupCase& c = GetParam();
    Answers answers = Answers::parse(c.content);
    auto found = answers.find(c.key);
    if (c.value) {
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, *c.value);
    } else {
        EXPECT_FALSE(found.has_value()) << *found;
    }
}

const std::string k511(511, 'k');

INSTANTIATE_TEST_SUITE_P(
    Lines, AnswersLookup,
    ::testing::Values(
        LookupCase{"plain", "A\tone two\n", "A", "one two"},
        LookupCase{"crlf", "A\tone\r\n", "A", "one"},
        LookupCase{"valueKeepsInnerTabs", "A\tx\ty \t\n", "A", "x\ty"},
        LookupCase{"keyWithTab", "A\tB\tv\n", "A\tB", "v"},
        LookupCase{"firstLineWins", "A\t1\nA\t2\n", "A", "1"},
        LookupCase{"emptyValuePassedOver", "A\t\nA\t2\n", "A", "2"},
        LookupCase{"blankValuePassedOver", "A\t  \t\nA\t2\n", "A", "2"},
        LookupCase{"leadingBlankSkipped", " A\t1\n", " A", std::nullopt},
        LookupCase{"leadingTabSkipped", "\tA\t1\n", "A", std::nullopt},
        LookupCase{"caseSensitive", "abc\t1\n", "ABC", std::nullopt},
        LookupCase{"wholeKeyOnly", "ABC\t1\n", "AB", std::nullopt},
        LookupCase{"longerQueryNoMatch", "AB\t1\n", "ABC", std::nullopt},
        LookupCase{"noTab", "A 1\n", "A", std::nullopt},
        LookupCase{"lastLineWithoutLineFeed", "B\t2\nA\t1", "A", "1"},
        LookupCase{"onlyLineWithoutLineFeed", "A\t1", "A", "1"},
        LookupCase{"zeroByteEndsLine", std::string("A\t1\0junk\nB\t2\n", 13), "A", "1"},
        LookupCase{"restOfLongLineIsOwnLine", k511 + "Z\tz\n", "Z", "z"},
        LookupCase{"longLineCutAtPiece", "A\t" + std::string(600, 'v') + "\n", "A",
                   std::string(509, 'v')},
        LookupCase{"key126Found", std::string(126, 'q') + "\tv\n", std::string(126, 'q'), "v"},
        LookupCase{"key127NotFound", std::string(127, 'q') + "\tv\n", std::string(127, 'q'),
                   std::nullopt},
        LookupCase{"emptyFile", "", "A", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

class DataFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = support::makeTempDir("mibbet-data");
        ASSERT_FALSE(dir_.empty());
        path_ = dir_ + "/mibbetdata.dat";
    }
    void TearDown() override {
        std::remove(path_.c_str());
        ::rmdir(dir_.c_str());
    }
    // Sets the file's times to an hour ago, as for a file saved long before.
    void age() {
        namespace fs = std::filesystem;
        fs::last_write_time(path_, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    std::string dir_, path_;
};

TEST_F(DataFileOnDisk, MissingFileAnswersNothingThenFindsItOnceBack) {
    DataFile data(path_);
    EXPECT_FALSE(data.lookup("A"));
    support::writeFile(path_, "A\t1\n");
    EXPECT_EQ(data.lookup("A"), "1");
    std::remove(path_.c_str());
    EXPECT_FALSE(data.lookup("A"));
}

TEST_F(DataFileOnDisk, UnchangedOldFileIsReadOnce) {
    support::writeFile(path_, "A\t1\n");
    age();
    DataFile data(path_);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(data.lookup("A"), "1");
    EXPECT_EQ(data.reads(), 1u);
}

TEST_F(DataFileOnDisk, EditOfSameSizeAndTimeIsSeenWhenFresh) {
    // Same size, and the edit lands in the same clock tick: the cache may not
    // hide it because the file is too recent to be trusted.
    support::writeFile(path_, "A\t1\n");
    DataFile data(path_);
    EXPECT_EQ(data.lookup("A"), "1");
    support::writeFile(path_, "A\t2\n");
    EXPECT_EQ(data.lookup("A"), "2");
}

TEST_F(DataFileOnDisk, EditOfOldFileIsSeenByTheNextLookup) {
    support::writeFile(path_, "A\t1\n");
    age();
    DataFile data(path_);
    EXPECT_EQ(data.lookup("A"), "1");
    support::writeFile(path_, "A\t2\n");
    age();  // same size, same (old) time: only the nanoseconds differ
    EXPECT_EQ(data.lookup("A"), "2");
}

TEST_F(DataFileOnDisk, ReplacedFileIsSeenThroughItsInode) {
    support::writeFile(path_, "A\t1\n");
    age();
    struct stat before {};
    ASSERT_EQ(stat(path_.c_str(), &before), 0);
    DataFile data(path_);
    EXPECT_EQ(data.lookup("A"), "1");
    std::string other = dir_ + "/other";
    support::writeFile(other, "A\t2\n");
    struct timespec times[2] = {before.st_mtim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
    ASSERT_EQ(std::rename(other.c_str(), path_.c_str()), 0);
    EXPECT_EQ(data.lookup("A"), "2");
}

}  // namespace
}  // namespace mibbet
