// SPDX-License-Identifier: Apache-2.0
// Where the window finds the library: an installed system holds only the
// versioned file (libLumetra.so.6) unless the -dev package is installed too.
#include "frontends/veltrin/lumetra_binding.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class LibraryFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("veltrin_binding_test." + std::to_string(::getpid()) + "." +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    // A base name no system library has, so only `folder` can satisfy it.
    QString use(const std::string& fileName) {
        fs::create_symlink(LUMETRA_SO, folder / fileName);
        return QStringLiteral("LumetraBindingTest");
    }
    fs::path folder;
};

TEST_F(LibraryFolder, FindsTheLibraryByNameWithOrWithoutItsMajorVersion) {
    for (const char* file : {"libLumetraBindingTest.so.6", "libLumetraBindingTest.so"}) {
        SCOPED_TRACE(file);
        veltrin::LumetraBinding binding(use(file), {QString::fromStdString(folder.string())});
        binding.lastError();
        EXPECT_EQ(binding.takeProblem(), "");
        fs::remove(folder / file);
    }
}

TEST_F(LibraryFolder, SaysWhereItLookedWhenTheLibraryIsMissing) {
    veltrin::LumetraBinding binding(QStringLiteral("LumetraBindingTest"),
                                    {QString::fromStdString(folder.string())});
    binding.lastError();
    const std::string problem = binding.takeProblem();
    EXPECT_NE(problem.find(folder.string()), std::string::npos) << problem;
}

}  // namespace
