// SPDX-License-Identifier: Apache-2.0
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder of its own in the system's temporary folder, removed at the end.
class AtomicFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("unitfleet-atomic-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::ofstream(dir_ / "victim") << "precious";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Links at every name a temporary file of `path` is likely to get, all
    // pointing at the victim.
    void plantLinks(const std::string& path) {
        std::string stem = path + ".tmp" + std::to_string(::getpid());
        fs::create_symlink(dir_ / "victim", stem);
        for (int n = 0; n < 8; ++n)
            fs::create_symlink(dir_ / "victim", stem + "-" + std::to_string(n));
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

TEST_F(AtomicFile, PlantedLinksAreNeverFollowed) {
    std::string path = (dir_ / "unit.ini").string();
    plantLinks(path);
    std::size_t before = entries();
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, "listing", true, error)) << error;
    EXPECT_EQ(contentOf(path), "listing");
    EXPECT_EQ(contentOf(dir_ / "victim"), "precious");
    EXPECT_EQ(entries(), before + 1);  // the listing, and no temporary file left

    // A link at the target itself is replaced, not written through.
    fs::create_symlink(dir_ / "victim", dir_ / "linked.ini");
    ASSERT_TRUE(writeFileAtomically((dir_ / "linked.ini").string(), "x", false, error)) << error;
    EXPECT_FALSE(fs::is_symlink(dir_ / "linked.ini"));
    EXPECT_EQ(contentOf(dir_ / "victim"), "precious");
}

TEST_F(AtomicFile, NewFilesNeverReplaceAnythingAndFailuresLeaveNothing) {
    std::string error;
    std::string fresh = (dir_ / "retry-1.inventory").string();
    ASSERT_TRUE(writeNewFile(fresh, "a\n", error)) << error;
    EXPECT_FALSE(writeNewFile(fresh, "b\n", error));
    EXPECT_EQ(contentOf(fresh), "a\n");
    fs::create_symlink(dir_ / "victim", dir_ / "link.inventory");
    EXPECT_FALSE(writeNewFile((dir_ / "link.inventory").string(), "b\n", error));
    EXPECT_EQ(contentOf(dir_ / "victim"), "precious");

    // A folder that does not exist: an error, and nothing created.
    std::size_t before = entries();
    EXPECT_FALSE(writeFileAtomically((dir_ / "missing" / "u.ini").string(), "x", false, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    // The target is a folder: the rename fails and the temporary file goes.
    fs::create_directory(dir_ / "taken.ini");
    fs::create_directory(dir_ / "taken.ini" / "inside");
    EXPECT_FALSE(writeFileAtomically((dir_ / "taken.ini").string(), "x", false, error));
    EXPECT_EQ(entries(), before + 1);
}

}  // namespace
}  // namespace platform
