// SPDX-License-Identifier: Apache-2.0
#include "protocol/file_frame.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/regular_file.h"
#include "protocol/frame.h"
#include "protocol/payload.h"
#include "tests/support/process.h"

namespace protocol {
namespace {

class FileLoading : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = support::makeTempDir("file-frame");
        ASSERT_FALSE(dir_.empty());
        std::filesystem::create_directories(dir_ / "adir");
        ASSERT_EQ(::mkfifo((dir_ / "afifo").c_str(), 0600), 0);
        std::ofstream(dir_ / "three") << "abc";
        std::ofstream(dir_ / "empty");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

TEST_F(FileLoading, OnlyRegularFilesWithinTheLimitAreRead) {
    EXPECT_EQ(loadFileContent(path("three"), 3, 2),
              (std::vector<std::uint8_t>{'a', 'b', 'c', 0, 0}));
    EXPECT_EQ(loadFileContent(path("empty"), 3), std::vector<std::uint8_t>{});
    EXPECT_FALSE(loadFileContent(path("three"), 2)) << "too large";
    EXPECT_FALSE(loadFileContent(path("adir"), 1000));
    EXPECT_FALSE(loadFileContent(path("afifo"), 1000)) << "never opened, so it cannot hang";
    EXPECT_FALSE(loadFileContent(path("missing"), 1000));
    EXPECT_EQ(regularFileSize(path("three")), 3u);
    EXPECT_FALSE(regularFileSize(path("adir")));
}

// Opened once and checked on the open descriptor: a FIFO in a file's place
// (swapped in after any check by name) is opened without waiting and refused.
TEST_F(FileLoading, EachOutcomeOfOneOpen) {
    using Status = LoadedFile::Status;
    struct Case {
        const char* name;
        std::size_t most;
        Status status;
    };
    for (Case c : {Case{"three", 3, Status::Loaded}, Case{"three", 2, Status::TooLarge},
                   Case{"empty", 3, Status::Loaded}, Case{"adir", 9, Status::CannotOpen},
                   Case{"afifo", 9, Status::CannotOpen}, Case{"missing", 9, Status::CannotOpen}}) {
        LoadedFile loaded = loadRegularFile(path(c.name), c.most, 1);
        EXPECT_EQ(loaded.status, c.status) << c.name << " " << c.most;
        if (c.status == Status::Loaded) {
            EXPECT_EQ(loaded.bytes.size(), loaded.size + 1) << c.name;
        }
    }
    EXPECT_FALSE(platform::openRegularFile(path("afifo"))) << "returned at once, no writer needed";
}

TEST_F(FileLoading, ASparseFileFarAboveTheLimitIsRefusedBeforeAnyAllocation) {
    std::filesystem::resize_file(path("three"), std::uintmax_t(1) << 40);  // 1 TiB, sparse
    EXPECT_FALSE(loadFileContent(path("three"), std::size_t(1) << 30));
    EXPECT_FALSE(loadFileFrame(path("three"), kFileKindFile, "x", std::size_t(1) << 30));
}

TEST_F(FileLoading, FileFramesMatchTheBuilder) {
    std::vector<std::uint8_t> content{'a', 'b', 'c'};
    for (auto [kind, name] : {std::pair{kFileKindFile, std::string_view("dest")},
                              std::pair{kFileKindImage, std::string_view()}}) {
        std::vector<std::uint8_t> expected(fileFrameSize(kind, name, content.size()));
        expected.resize(buildFileFrame(expected, kind, name, content));
        EXPECT_EQ(loadFileFrame(path("three"), kind, name, expected.size()), expected);
        EXPECT_FALSE(loadFileFrame(path("three"), kind, name, expected.size() - 1));
        EXPECT_FALSE(loadFileFrame(path("adir"), kind, name, 1 << 20));
    }
}

}  // namespace
}  // namespace protocol
