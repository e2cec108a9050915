// SPDX-License-Identifier: Apache-2.0
// A shop chain's worth of units: 10,000 served by one unitsim process under
// an open-file limit of 20,000 (one descriptor per unit, not eight), and
// unitfleet backing up every one of them. Units on 127.22.0.1-127.22.39.16.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/socket.h"
#include "tests/support/process.h"
#include "tests/support/storm.h"

namespace {

using namespace std::chrono_literals;

constexpr int kUnits = 10000;
constexpr const char* kPrlimit = "/usr/bin/prlimit";  // util-linux, on every Debian machine
constexpr platform::Ipv4 kFirst = 0x7F160001;              // 127.22.0.1

TEST(UnitsimScale, TenThousandUnitsInOneProcessAreAllBackedUp) {
    if (!std::filesystem::exists(kPrlimit))
        GTEST_SKIP() << "no prlimit";
    std::string dir = support::makeTempDir("unitsim-scale");
    std::string range = platform::dotted(kFirst) + "-" + platform::dotted(kFirst + kUnits - 1);
    support::Background sim({kPrlimit, "--nofile=20000", UNITSIM_BIN, "--address", range});
    ASSERT_TRUE(sim.waitForOutput("unitsim: 10000 units listening on " + range + ":1283\n", 60s))
        << sim.stop().err;
    // One listener per unit and a handful of the process's own.
    EXPECT_LT(support::openDescriptors(sim.pid()), kUnits + 32);

    std::string inventory;
    for (int i = 0; i < kUnits; ++i)
        inventory += platform::dotted(kFirst + i) + " unit-" + std::to_string(i) + "\n";
    support::writeFile(dir + "/all.txt", inventory);
    support::RunResult r = support::run({UNITFLEET_BIN, "backup", "all.txt", "saved", "-j", "128"},
                                        {{}, dir, 180000ms});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("backup: 10000 units, 10000 saved, 0 failed\n"), std::string::npos)
        << r.out.substr(r.out.size() > 400 ? r.out.size() - 400 : 0);
    int saved = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir + "/saved"))
        saved += entry.path().extension() == ".ini";
    EXPECT_EQ(saved, kUnits);
    EXPECT_TRUE(sim.running());
    std::filesystem::remove_all(dir);
}

}  // namespace
