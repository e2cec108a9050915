// SPDX-License-Identifier: Apache-2.0
// The library against the simulated unit: a whole configuration session as
// a window program runs it, and the unit's own misbehaviours.
#include <string>
#include <vector>

#include "tests/lumetra/library_fixture.h"
#include "unitsim/unit.h"

namespace lumetra_test {
namespace {

class LumetraSimulatedUnit : public LibraryTest {
  protected:
    std::unique_ptr<unitsim::Unit> start(const char* address, unitsim::Faults faults = {}) {
        unitsim::Options options;
        options.address = address;
        options.faults = std::move(faults);
        auto unit = std::make_unique<unitsim::Unit>(options);
        std::string error;
        EXPECT_TRUE(unit->start(error)) << error;
        return unit;
    }
};

TEST_F(LumetraSimulatedUnit, ReadsTheWholeTableWithHelpAndValues) {
    auto unit = start("127.0.1.110");
    std::vector<unitsim::ModeDef> defs = unitsim::defaultModes();
    ASSERT_EQ(uxOpen("127.0.1.110"), static_cast<int>(defs.size()));
    std::string name = take(GetFirstModeName());
    for (const unitsim::ModeDef& def : defs) {
        EXPECT_EQ(name, def.name);
        EXPECT_EQ(take(GetModeType(def.name.c_str())), def.type) << def.name;
        EXPECT_EQ(take(GetModeHelp(def.name.c_str())), def.help) << def.name;
        // The open itself turns the Force modes on.
        bool force = def.name.size() > 5 &&
                     (def.name.rfind("force", 0) == 0 || def.name.rfind("Force", 0) == 0);
        std::string value = force ? "TRUE" : def.value;
        EXPECT_EQ(take(GetNVRamMode(def.name.c_str())), value) << def.name;
        EXPECT_EQ(GetModeSize(def.name.c_str()), def.type == "STRING" ? def.size : 0) << def.name;
        name = take(GetNextModeName());
    }
    EXPECT_EQ(name, "");
}

TEST_F(LumetraSimulatedUnit, SetCommitAndReadBack) {
    auto unit = start("127.0.1.111");
    ASSERT_GT(uxOpen("127.0.1.111"), 0);
    std::string before = take(GetNVRamMode("POSTimeout"));
    EXPECT_EQ(uxSetMode("POSTimeout", "42"), 1);
    EXPECT_EQ(take(GetMode("POSTimeout")), "42");
    EXPECT_EQ(take(GetNVRamMode("POSTimeout")), before);  // the table keeps the open's values
    EXPECT_EQ(uxCommit(), 1);
    EXPECT_EQ(unit->committedValue("POSTimeout"), "42");
    EXPECT_EQ(uxSetMode("NoSuchMode", "1"), 0);
    EXPECT_EQ(uxSetMode("UnitStatus", "broken"), 0);  // read-only
    EXPECT_EQ(uxRestart(), 1);
    EXPECT_EQ(uxClose(), 1);
}

TEST_F(LumetraSimulatedUnit, KeepAlivesAheadOfEveryReplyAreSkipped) {
    unitsim::Faults faults;
    faults.keepAlivesBeforeReply = 3;
    faults.refusedModes = {"TextReset"};
    auto unit = start("127.0.1.112", faults);
    ASSERT_EQ(uxOpen("127.0.1.112"), static_cast<int>(unitsim::defaultModes().size()));
    EXPECT_EQ(take(GetMode("UnitID")), *unit->value("UnitID"));
    EXPECT_EQ(uxSetMode("TextReset", "TRUE"), 0);
    EXPECT_EQ(uxSetMode("POSTimeout", "7"), 1);
}

TEST_F(LumetraSimulatedUnit, OversizedLengthAndDroppedFramesFailCleanly) {
    unitsim::Faults oversized;
    oversized.oversizedLength = true;
    auto unit = start("127.0.1.113", oversized);
    EXPECT_EQ(uxOpen("127.0.1.113"), 0);
    EXPECT_EQ(uxGetLastError(), 1);
    unitsim::Faults dropped;
    dropped.dropMidFrame = true;
    auto other = start("127.0.1.114", dropped);
    EXPECT_EQ(ReOpen("127.0.1.114"), 0);
    EXPECT_EQ(uxGetLastError(), 1);
}

}  // namespace
}  // namespace lumetra_test
