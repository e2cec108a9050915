// SPDX-License-Identifier: Apache-2.0
// The resources of the Windows build as Explorer reads them: every program
// and Lumetra.dll carry a version record of the suite, the windows also the
// suite's icon and a manifest that asks for the common controls 6 and
// per-monitor DPI awareness and leaves the code page to the system. Read
// from the files with the cross-build's windres, without Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/windows/wine.h"

namespace windows_test {
namespace {

struct Deliverable {
    const char* file;
    bool window;
    const char* version;  // file and product version
};

const Deliverable kDeliverables[] = {
    {"Veltrin.exe", true, "3.04"},    {"Fennick.exe", true, "6.20"}, {"Zorrel.exe", true, "6.20"},
    {"Lumetra.dll", false, "6.20"},   {"Tarnix.exe", false, "6.20"}, {"probe.exe", false, "6.20"},
    {"Drosk.exe", false, "6.20"},     {"Hobsel.exe", false, "6.20"}, {"Mibbet.exe", false, "6.20"},
    {"unitfleet.exe", false, "6.20"},
};

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Resources : public ::testing::TestWithParam<Deliverable> {};

TEST_P(Resources, VersionIconAndManifest) {
    if (windowsBin().empty())
        GTEST_SKIP() << "not run: no Windows build given";
    const std::string windres = MINGW_WINDRES;
    if (windres.empty() || has(windres, "NOTFOUND"))
        GTEST_SKIP() << "no x86_64-w64-mingw32-windres";
    const Deliverable& d = GetParam();
    const support::RunResult r =
        support::run({windres, "-i", windowsBin() + "/" + d.file, "-O", "rc"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& rc = r.out;
    EXPECT_TRUE(has(rc, "1 VERSIONINFO"));
    EXPECT_TRUE(has(rc, "VALUE \"ProductName\", \"Unit Suite\""));
    EXPECT_TRUE(has(rc, "VALUE \"ProductVersion\", \"" + std::string(d.version) + "\""));
    EXPECT_TRUE(has(rc, "VALUE \"FileVersion\", \"" + std::string(d.version) + "\""));
    EXPECT_TRUE(has(rc, "VALUE \"OriginalFilename\", \"" + std::string(d.file) + "\""));
    EXPECT_EQ(has(rc, "RT_GROUP_ICON"), d.window);
    EXPECT_EQ(has(rc, "RT_MANIFEST"), d.window);
    if (d.window) {
        // 16 and 32 pixels at least, as a window's title bar and Alt+Tab ask.
        EXPECT_TRUE(has(rc, "\"\\020\\020\\000\\000\""));
        EXPECT_TRUE(has(rc, "\"\\040\\040\\000\\000\""));
        EXPECT_TRUE(has(rc, "Microsoft.Windows.Common-Controls"));
        EXPECT_TRUE(has(rc, "PerMonitorV2"));
        EXPECT_FALSE(has(rc, "<activeCodePage"));  // the system's code page, not UTF-8
    }
}

INSTANTIATE_TEST_SUITE_P(WindowsBuild, Resources, ::testing::ValuesIn(kDeliverables),
                         [](const ::testing::TestParamInfo<Deliverable>& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (c == '.')
                                     c = '_';
                             return name;
                         });

}  // namespace
}  // namespace windows_test
