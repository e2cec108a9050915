// SPDX-License-Identifier: Apache-2.0
#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utility>

namespace {

namespace fs = std::filesystem;

using AnswerFn = int (*)();
constexpr const char* kExport = "platform_fixture_answer";

class SharedLibraryFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("shared_library_test." +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "." +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        std::ofstream(folder / "text.so") << "not a library\n";
    }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder;
};

TEST_F(SharedLibraryFiles, LoadsWhatIsThereAndSaysWhatIsNot) {
    struct Case {
        const char* what;
        fs::path path;
        const char* name;
        bool opens;
        bool finds;
        std::string errorHas;  // in the error of the step that failed
    } cases[] = {
        {"the library and its export", PLATFORM_FIXTURE_LIBRARY, kExport, true, true, ""},
        {"an export it lacks", PLATFORM_FIXTURE_LIBRARY, "no_such_export", true, false,
         "no_such_export"},
        {"a missing file", folder / "missing.so", kExport, false, false, "missing.so"},
        {"a file that is no library", folder / "text.so", kExport, false, false, "text.so"},
        {"a folder", folder, kExport, false, false, folder.filename().string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::SharedLibrary library;
        std::string error;
        EXPECT_EQ(library.open(c.path, error), c.opens) << error;
        EXPECT_EQ(library.isOpen(), c.opens);
        if (c.opens) {
            void* address = library.find(c.name, error);
            EXPECT_EQ(address != nullptr, c.finds) << error;
            if (address != nullptr) {
                EXPECT_EQ(reinterpret_cast<AnswerFn>(address)(), 42);
            }
        }
        EXPECT_NE(error.find(c.errorHas), std::string::npos) << error;
        EXPECT_EQ(error.empty(), c.finds) << error;
    }
}

TEST(SharedLibrary, OneOwnerAtATime) {
    platform::SharedLibrary first;
    std::string error;
    ASSERT_TRUE(first.open(PLATFORM_FIXTURE_LIBRARY, error)) << error;
    platform::SharedLibrary second(std::move(first));
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(first.find(kExport, error), nullptr);
    EXPECT_EQ(error, "no library loaded");
    auto answer = reinterpret_cast<AnswerFn>(second.find(kExport, error));
    ASSERT_NE(answer, nullptr) << error;
    EXPECT_EQ(answer(), 42);

    platform::SharedLibrary third;
    third = std::move(second);
    EXPECT_FALSE(second.isOpen());
    EXPECT_NE(third.find(kExport, error), nullptr) << error;
    third.close();
    EXPECT_FALSE(third.isOpen());
    EXPECT_EQ(third.find(kExport, error), nullptr);
}

TEST(SharedLibrary, AFailedOpenLetsGoOfTheLibraryHeldBefore) {
    platform::SharedLibrary library;
    std::string error;
    ASSERT_TRUE(library.open(PLATFORM_FIXTURE_LIBRARY, error)) << error;
    EXPECT_FALSE(library.open("/nonexistent/libnothing.so", error));
    EXPECT_FALSE(library.isOpen());
    EXPECT_EQ(library.find(kExport, error), nullptr);
}

}  // namespace
