// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/grid_keys.h"

#include <gtest/gtest.h>

namespace veltrin {
namespace {

struct Move {
    GridKey key;
    CellPos from;
    std::optional<CellPos> to;
};

// A grid of 10 modes, 4 rows to a page.
constexpr int kLast = 10;
constexpr int kPage = 4;

const Move kMoves[] = {
    // From no cell every key lands in the first mode row.
    {GridKey::Down, {0, 0}, CellPos{1, 0}},
    {GridKey::Up, {0, 2}, CellPos{1, 2}},
    // Up and down stop at the first and last mode rows, never the header.
    {GridKey::Up, {1, 1}, CellPos{1, 1}},
    {GridKey::Up, {5, 1}, CellPos{4, 1}},
    {GridKey::Down, {5, 2}, CellPos{6, 2}},
    {GridKey::Down, {10, 2}, CellPos{10, 2}},
    {GridKey::Left, {3, 0}, CellPos{3, 0}},
    {GridKey::Right, {3, 1}, CellPos{3, 2}},
    {GridKey::Right, {3, 2}, CellPos{3, 2}},
    // A page is pageRows rows, clamped at the ends.
    {GridKey::PageDown, {2, 2}, CellPos{6, 2}},
    {GridKey::PageDown, {8, 2}, CellPos{10, 2}},
    {GridKey::PageUp, {8, 1}, CellPos{4, 1}},
    {GridKey::PageUp, {3, 1}, CellPos{1, 1}},
    {GridKey::Home, {4, 2}, CellPos{4, 0}},
    {GridKey::End, {4, 0}, CellPos{4, 2}},
    {GridKey::FirstCell, {7, 2}, CellPos{1, 0}},
    {GridKey::LastCell, {2, 0}, CellPos{10, 2}},
};

TEST(GridKeys, EachKeyMovesWhereAGridMovesIt) {
    for (const Move& m : kMoves) {
        const auto to = cellAfterKey(m.key, m.from, kLast, kPage);
        ASSERT_EQ(to.has_value(), m.to.has_value())
            << "key " << static_cast<int>(m.key) << " from " << m.from.row << "," << m.from.column;
        if (to) {
            EXPECT_EQ(*to, *m.to) << "key " << static_cast<int>(m.key) << " from " << m.from.row
                                  << "," << m.from.column << " went to " << to->row << ","
                                  << to->column;
        }
    }
}

TEST(GridKeys, AnEmptyGridHasNoCellToMoveTo) {
    for (GridKey key : {GridKey::Down, GridKey::PageDown, GridKey::LastCell})
        EXPECT_FALSE(cellAfterKey(key, {0, 0}, 0, kPage));
}

TEST(GridKeys, AZeroPageStillMovesOneRow) {
    EXPECT_EQ(cellAfterKey(GridKey::PageDown, {3, 0}, kLast, 0), (CellPos{4, 0}));
}

TEST(GridKeys, TheEditorMovesRowsButKeepsLeftRightHomeEndForItsText) {
    for (GridKey key : {GridKey::Up, GridKey::Down, GridKey::PageUp, GridKey::PageDown,
                        GridKey::FirstCell, GridKey::LastCell})
        EXPECT_TRUE(isEditorMoveKey(key));
    for (GridKey key : {GridKey::Left, GridKey::Right, GridKey::Home, GridKey::End})
        EXPECT_FALSE(isEditorMoveKey(key));
}

}  // namespace
}  // namespace veltrin
