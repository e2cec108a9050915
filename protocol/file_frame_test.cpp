#include "protocol/file_frame.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

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
