// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/layout_rule.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veltrin {
namespace {

TEST(LayoutRule, DesignSize) {
    const Layout l = layoutFor(9795, 8955);
    ASSERT_TRUE(l.apply);
    EXPECT_FALSE(l.compressed);
    EXPECT_EQ(l.grid.width, 9315);
    EXPECT_EQ(l.status.width, 9315);
    EXPECT_EQ(l.help.width, 9315);
    EXPECT_EQ(l.columns[0], 1807);
    EXPECT_EQ(l.columns[1], 3614);
    EXPECT_EQ(l.columns[2], 3614);
    EXPECT_EQ(l.status.top, 7740);
    EXPECT_EQ(l.grid.top, 1680);
    EXPECT_EQ(l.grid.height, 5820);
    EXPECT_EQ(l.help.height, 7035);
    EXPECT_EQ(l.ok.left, 4170);
    EXPECT_EQ(l.ok.top, 7980);
    EXPECT_EQ(l.editorLeft, 5661);
    EXPECT_EQ(l.editorWidth, 3614);
}

TEST(LayoutRule, MinimisedChangesNothing) {
    EXPECT_FALSE(layoutFor(0, 0).apply);
}

TEST(LayoutRule, ShortClientIsCompressedAndScaled) {
    // Laid out for 2655 twips, then scaled onto 1500.
    const Layout l = layoutFor(9795, 1500);
    ASSERT_TRUE(l.compressed);
    const double scale = 1500.0 / 2655;
    EXPECT_EQ(l.status.top, std::lround(1440 * scale));
    EXPECT_EQ(l.status.height, std::lround(975 * scale));
    EXPECT_EQ(l.help.height, std::lround(735 * scale));
    EXPECT_EQ(l.ok.top, std::lround(1680 * scale));
    EXPECT_EQ(l.grid.height, 0);  // -480 before the clamp
    EXPECT_LE(l.status.top + l.status.height, 1500);
    EXPECT_FALSE(layoutFor(9795, 1680).compressed);
}

// Below every limit of the rule no size is negative.
TEST(LayoutRule, NoNegativeSizes) {
    for (int w : {15, 240, 479, 480, 759, 760, 1000}) {
        for (int h : {15, 1000, 1679, 1919, 1920, 3134, 3135}) {
            const Layout l = layoutFor(w, h);
            SCOPED_TRACE(testing::Message() << w << " x " << h);
            for (const ui::TwipsRect& r : {l.status, l.help, l.ok, l.grid}) {
                EXPECT_GE(r.width, 0);
                EXPECT_GE(r.height, 0);
                EXPECT_GE(r.left, 0);
                EXPECT_GE(r.top, 0);
            }
            for (int c : l.columns) EXPECT_GE(c, 0);
            EXPECT_GE(l.editorWidth, 0);
        }
    }
}

}  // namespace
}  // namespace veltrin
