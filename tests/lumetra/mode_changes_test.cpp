// SPDX-License-Identifier: Apache-2.0
// Set lines, commit and restart on the open connection.
#include <string>
#include <vector>

#include "tests/lumetra/library_fixture.h"

namespace lumetra_test {
namespace {

class LumetraModeChanges : public LibraryTest {
  protected:
    void open(const char* address) {
        unit_ = std::make_unique<ScriptedUnit>(address, smallUnit());
        ASSERT_EQ(uxOpen(address), 4);
        unit_->clearFrames();
    }
    Bytes frame(std::size_t i) {
        EXPECT_TRUE(unit_->waitForFrames(i + 1));
        std::vector<Bytes> all = unit_->frames();
        return i < all.size() ? all[i] : Bytes{};
    }
    std::unique_ptr<ScriptedUnit> unit_;
};

TEST_F(LumetraModeChanges, SetLineHasOneSpaceEachSideOfTheEqualsSign) {
    open("127.0.1.50");
    EXPECT_EQ(uxSetMode("unitID", "10.0.0.5"), 1);
    Bytes f = frame(0);
    ASSERT_EQ(f.size(), 26u);
    EXPECT_EQ(be32At(f, 0), 26u);
    EXPECT_EQ(codeAt(f, 4), "MDSQ");
    EXPECT_EQ(queryText(f), "unitID = 10.0.0.5");
    EXPECT_EQ(f[25], 0);
}

TEST_F(LumetraModeChanges, RefusalAfterKeepAlivesGivesZeroAndLeavesTheTable) {
    open("127.0.1.51");
    unit_->respond([](const Bytes&) { return keepAlive() + keepAlive() + errorReport("no"); });
    EXPECT_EQ(uxSetMode("UnitID", "Till 5"), 0);
    unit_->respond([](const Bytes&) { return keepAlive() + modeReply("OK"); });
    EXPECT_EQ(uxSetMode("UnitID", "Till 5"), 1);
    EXPECT_EQ(take(GetNVRamMode("UnitID")), "Till 4");
}

TEST_F(LumetraModeChanges, TheReplyToSendTarnixIsReadByTheNextExchange) {
    open("127.0.1.52");
    unit_->respond([](const Bytes& f) {
        return queryText(f) == "UnitID = bad" ? errorReport("refused") : modeReply("OK");
    });
    EXPECT_EQ(SendTarnix("UnitID", "bad"), 1);
    EXPECT_EQ(uxSetMode("POSTimeout", "20"), 0);  // reads the refusal of "bad"
    Bytes sent = frame(0);
    EXPECT_EQ(sent.size(), 21u);
    EXPECT_EQ(queryText(sent), "UnitID = bad");
}

TEST_F(LumetraModeChanges, CommitSendsItsLineAndReportsARefusal) {
    open("127.0.1.53");
    EXPECT_EQ(uxCommit(), 1);
    EXPECT_EQ(queryText(frame(0)), "Commit = TRUE");
    EXPECT_EQ(frame(0).size(), 13u + 9u);
    unit_->respond([](const Bytes&) { return errorReport("cannot store"); });
    EXPECT_EQ(uxCommit(), 0);
}

TEST_F(LumetraModeChanges, RestartSendsItsLineWithoutWaiting) {
    open("127.0.1.54");
    unit_->respond([](const Bytes&) { return Bytes{}; });  // a restarting unit says nothing
    EXPECT_EQ(uxRestart(), 1);
    Bytes f = frame(0);
    EXPECT_EQ(queryText(f), "RESTART=TRUE");
    EXPECT_EQ(f.size(), 21u);
}

TEST_F(LumetraModeChanges, LineTooLongForTheUnitIsNotSent) {
    open("127.0.1.55");
    std::string value252(252 - 6, 'v');  // with "UnitID" exactly 252 characters
    EXPECT_EQ(uxSetMode("UnitID", value252.c_str()), 1);
    EXPECT_EQ(queryText(frame(0)).size(), 255u);
    std::string value253 = value252 + "w";
    EXPECT_EQ(uxSetMode("UnitID", value253.c_str()), 0);
    EXPECT_EQ(SendTarnix("UnitID", value253.c_str()), 0);
    EXPECT_EQ(uxSetMode(nullptr, "x"), 0);
    EXPECT_EQ(SendTarnix("UnitID", nullptr), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(unit_->frameCount(), 1u);
}

TEST_F(LumetraModeChanges, FailedSendIsReportedAsZero) {
    open("127.0.1.56");
    // The unit vanishes; the next sends meet a reset connection.
    unit_.reset();
    testing::internal::CaptureStdout();
    int32_t result = 1;
    for (int i = 0; i < 20 && result == 1; ++i) {
        result = SendTarnix("UnitID", "x");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find("\nError sending..\n"), std::string::npos);
    EXPECT_EQ(uxRestart(), 0);
    EXPECT_EQ(uxCommit(), 0);
}

}  // namespace
}  // namespace lumetra_test
