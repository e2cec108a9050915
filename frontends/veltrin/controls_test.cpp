// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/controls.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace veltrin {
namespace {

TEST(ControlTable, OneRowPerControlInEnumerationOrder) {
    int i = 0;
    for (const ControlRow& row : controlTable()) EXPECT_EQ(static_cast<int>(row.control), i++);
    EXPECT_EQ(i, kControlCount);
}

TEST(ControlTable, NamesAreUniqueAndTheButtonsSitInTwoRowsOfSixColumns) {
    std::set<std::string> names;
    for (const ControlRow& row : controlTable()) EXPECT_TRUE(names.insert(row.spec.name).second);
    const std::set<int> lefts{240, 2040, 3480, 4920, 6360, 7800};
    for (Control button : kButtons) {
        if (button == Control::Ok)
            continue;  // the help view's button, below the grid
        const ui::TwipsRect& at = spec(button).place;
        EXPECT_TRUE(at.top == 240 || at.top == 960) << spec(button).name;
        EXPECT_EQ(lefts.count(at.left), 1u) << spec(button).name;
        EXPECT_EQ(at.height, 495) << spec(button).name;
    }
}

TEST(ControlTable, TheTabOrderHoldsEveryControlThatTakesTheFocusOnce) {
    std::set<Control> seen;
    for (Control c : kTabOrder) EXPECT_TRUE(seen.insert(c).second) << spec(c).name;
    for (Control none : {Control::Label1, Control::Info}) EXPECT_EQ(seen.count(none), 0u);
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kControlCount - 2));
    EXPECT_EQ(kTabOrder[0], Control::IP);  // where the focus starts
}

}  // namespace
}  // namespace veltrin
