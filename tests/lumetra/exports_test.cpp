// SPDX-License-Identifier: Apache-2.0
// The built shared library as its users see it: exactly the C API exported,
// loadable by name at run time, and the example program against a unit.
#include <dlfcn.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/lumetra/library_fixture.h"
#include "tests/support/process.h"

namespace lumetra_test {
namespace {

TEST(LumetraSharedLibrary, ExportsExactlyTheCApi) {
    support::RunResult r = support::run({"/usr/bin/nm", "-D", "--defined-only", LUMETRA_SO});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    std::istringstream lines(r.out);
    std::string address, kind, name;
    while (lines >> address >> kind >> name) names.push_back(name);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {"Fennick",
                                         "GetFirstModeName",
                                         "GetMode",
                                         "GetModeHelp",
                                         "GetModeSize",
                                         "GetModeType",
                                         "GetNVRamMode",
                                         "GetNextModeName",
                                         "LumetraFreeString",
                                         "LumetraStringByteLen",
                                         "Push",
                                         "ReOpen",
                                         "SendDataNOP",
                                         "SendDisplayText",
                                         "SendFile",
                                         "SendImageToDisplay",
                                         "SendRegistration",
                                         "SendSpecialText",
                                         "SendTarnix",
                                         "SendTerminate",
                                         "uxClose",
                                         "uxCommit",
                                         "uxGetLastError",
                                         "uxOpen",
                                         "uxRestart",
                                         "uxSetMode"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(LumetraSharedLibrary, LoadsByNameAndAnswersWithoutAUnit) {
    void* lib = dlopen(LUMETRA_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto getLastError = reinterpret_cast<int16_t (*)()>(dlsym(lib, "uxGetLastError"));
    auto close = reinterpret_cast<int32_t (*)()>(dlsym(lib, "uxClose"));
    auto first = reinterpret_cast<LumetraString (*)()>(dlsym(lib, "GetFirstModeName"));
    auto length = reinterpret_cast<uint32_t (*)(LumetraString)>(dlsym(lib, "LumetraStringByteLen"));
    auto release = reinterpret_cast<void (*)(LumetraString)>(dlsym(lib, "LumetraFreeString"));
    ASSERT_TRUE(getLastError && close && first && length && release);
    EXPECT_EQ(getLastError(), 0);
    EXPECT_EQ(close(), 1);
    LumetraString name = first();
    EXPECT_EQ(length(name), 0u);
    release(name);
    dlclose(lib);
}

TEST(LumetraListModesExample, PrintsEveryModeWithItsValue) {
    ScriptedUnit unit("127.0.1.120", smallUnit());
    support::RunResult r = support::run({LIST_MODES_BIN, "127.0.1.120"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "UnitID = Till 4\nPOSTimeout = 10\nTextReset = TRUE\nProductName = \n");
    support::RunResult usage = support::run({LIST_MODES_BIN});
    EXPECT_EQ(usage.status, 1);
}

}  // namespace
}  // namespace lumetra_test
