// SPDX-License-Identifier: Apache-2.0
// Every frame is built in and read into the one frame buffer: the send and
// receive path allocates nothing, however many frames go by.
#include <memory>

#include "tests/lumetra/allocation_counter.h"
#include "tests/lumetra/library_fixture.h"

namespace lumetra_test {
namespace {

class LumetraAllocation : public LibraryTest {};

void exchangeEveryKindOfFrame() {
    EXPECT_EQ(uxSetMode("UnitID", "Till 5"), 1);
    EXPECT_EQ(SendTarnix("POSTimeout", "20"), 1);
    EXPECT_EQ(uxSetMode("POSTimeout", "20"), 1);  // reads the SendTarnix reply
    EXPECT_EQ(uxCommit(), 1);                     // reads the one left over
    EXPECT_EQ(SendDisplayText("Hello"), 1);
    EXPECT_EQ(SendSpecialText("Receipt"), 1);
    EXPECT_EQ(SendRegistration(), 1);
    EXPECT_EQ(SendTerminate(), 1);
    EXPECT_EQ(SendDataNOP(), 1);
}

TEST_F(LumetraAllocation, NoneOnTheSendAndReceivePath) {
    ScriptedUnit unit("127.0.1.90", smallUnit());
    unit.respond([script = smallUnit()](const Bytes& f) {
        Bytes answer = script(f);
        return answer.empty() ? answer : keepAlive() + answer;
    });
    ASSERT_EQ(uxOpen("127.0.1.90"), 4);
    exchangeEveryKindOfFrame();
    std::size_t allocations;
    {
        AllocationCounter counter;
        for (int i = 0; i < 50; ++i) exchangeEveryKindOfFrame();
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0u);
}

TEST(LumetraAllocationCounterHook, SeesAnAllocation) {
    AllocationCounter counter;
    auto p = std::make_unique<int>(1);
    EXPECT_EQ(counter.count(), 1u);
}

}  // namespace
}  // namespace lumetra_test
