// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/mode_rows.h"

#include <gtest/gtest.h>

namespace veltrin {
namespace {

class ModeRowsTest : public testing::Test {
  protected:
    void SetUp() override { rows.create(3); }
    ModeRows rows;
};

TEST_F(ModeRowsTest, EmptyValueNeverChangesTheRow) {
    rows[1].state = RowState::SetPending;
    rows[1].newContent = "5";
    EXPECT_FALSE(rows.take(1, trimSpaces("   ")));
    EXPECT_FALSE(rows.take(1, ""));
    EXPECT_EQ(rows[1].state, RowState::SetPending);
    EXPECT_EQ(rows[1].newContent, "5");
}

TEST_F(ModeRowsTest, SameValueKeepsTheStateNewValueEdits) {
    struct Case {
        RowState before;
        std::string typed;
        RowState after;
    } cases[] = {
        {RowState::Clean, "5", RowState::Clean},  // equal to NewContent
        {RowState::SetPending, "5", RowState::SetPending},
        {RowState::SetPending, "6", RowState::Edited},
        {RowState::SetFailed, "6", RowState::Edited},
        {RowState::Clean, "6", RowState::Edited},
        {RowState::Clean, "5 ", RowState::Clean},  // trimmed before the comparison
    };
    for (const Case& c : cases) {
        rows[2].state = c.before;
        rows[2].newContent = "5";
        EXPECT_TRUE(rows.take(2, trimSpaces(c.typed)));
        EXPECT_EQ(rows[2].state, c.after) << c.typed;
    }
}

TEST_F(ModeRowsTest, ComparisonIsCaseSensitive) {
    rows[1].newContent = "abc";
    rows.take(1, "ABC");
    EXPECT_EQ(rows[1].state, RowState::Edited);
    EXPECT_EQ(rows[1].newContent, "ABC");
}

TEST(TrimSpaces, OnlySpacesAtTheEnds) {
    EXPECT_EQ(trimSpaces("  a b  "), "a b");
    EXPECT_EQ(trimSpaces("\ta "), "\ta");
    EXPECT_EQ(trimSpaces("    "), "");
}

TEST_F(ModeRowsTest, EnteringARefusedRowCleansIt) {
    rows[1].state = RowState::SetFailed;
    rows[1].newContent = "x";
    rows[3].state = RowState::SetFailed;
    EXPECT_TRUE(rows.enter(1));
    EXPECT_EQ(rows[1].state, RowState::Clean);
    EXPECT_EQ(rows[1].newContent, "");
    EXPECT_TRUE(rows.anyFailed());
    EXPECT_TRUE(rows.enter(3));
    EXPECT_FALSE(rows.anyFailed());
    rows[2].state = RowState::Edited;
    EXPECT_FALSE(rows.enter(2));
    EXPECT_EQ(rows[2].state, RowState::Edited);
}

TEST(SetModeSignal, RedBeforeYellowBeforeGreen) {
    EXPECT_EQ(setModeSignal(true, true, true), Signal::Red);
    EXPECT_EQ(setModeSignal(false, true, true), Signal::Yellow);
    EXPECT_EQ(setModeSignal(false, false, true), Signal::Green);
    EXPECT_EQ(setModeSignal(false, false, false), Signal::Neutral);
}

TEST(ModeCountFor, NeverBeyondTheGrid) {
    EXPECT_EQ(modeCountFor(0).rows, 0);
    EXPECT_EQ(modeCountFor(37).rows, 37);
    EXPECT_FALSE(modeCountFor(32766).truncated);
    EXPECT_EQ(modeCountFor(32766).rows, 32766);
    EXPECT_TRUE(modeCountFor(32767).truncated);
    EXPECT_EQ(modeCountFor(32767).rows, 32766);
    EXPECT_TRUE(modeCountFor(-1).truncated);  // a 16-bit count that wrapped
    EXPECT_EQ(modeCountFor(-32768).rows, 32766);
}

TEST(ClockMode, AnySpelling) {
    EXPECT_TRUE(isClockMode("dateTime"));
    EXPECT_TRUE(isClockMode("DateTime"));
    EXPECT_FALSE(isClockMode("dateTimeFormat"));
}

}  // namespace
}  // namespace veltrin
