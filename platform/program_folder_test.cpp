// SPDX-License-Identifier: Apache-2.0
#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, IsTheFolderOfTheRunningTest) {
    EXPECT_EQ(fs::canonical(platform::programFolder()), fs::canonical(PLATFORM_TEST_BINARY_DIR));
}

class DataFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("data_folder_test." +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "." +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "usr/bin");
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(DataFolder, InstalledDataFolderBesideBinWins) {
    fs::create_directories(root / "usr/share/unitsuite");
    EXPECT_EQ(platform::dataFolderOf(root / "usr/bin", "../share/unitsuite"),
              root / "usr/share/unitsuite");
}

TEST_F(DataFolder, FallsBackToTheProgramFolder) {
    struct Case {
        const char* name;
        fs::path relative;
        bool makeFile;  // a file, not a folder, where the data folder would be
    };
    for (const Case& c : {Case{"missing", "../share/unitsuite", false},
                          Case{"a file in its place", "../share/unitsuite", true},
                          Case{"data beside the program (Windows)", "", false}}) {
        SCOPED_TRACE(c.name);
        if (c.makeFile) {
            fs::create_directories(root / "usr/share");
            std::ofstream(root / "usr/share/unitsuite") << "x";
        }
        EXPECT_EQ(platform::dataFolderOf(root / "usr/bin", c.relative), root / "usr/bin");
    }
    EXPECT_EQ(platform::dataFolderOf("", "../share/unitsuite"), fs::path());
}

}  // namespace
