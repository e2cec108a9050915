// SPDX-License-Identifier: Apache-2.0
// Where a key moves the grid's current cell, the same in both views: the
// grid's own keys when it has the focus, and the moving keys of the value
// editor laid over it (Up, Down, PageUp, PageDown, Ctrl+Home, Ctrl+End), so
// that a user can go from row to row and type values without a mouse.
#pragma once

#include <optional>

namespace veltrin {

enum class GridKey {
    Up,
    Down,
    Left,
    Right,
    PageUp,
    PageDown,
    Home,       // first column of the row
    End,        // last column of the row
    FirstCell,  // Ctrl+Home
    LastCell,   // Ctrl+End
};

struct CellPos {
    int row = 0;  // grid rows: 0 is the header, modes from 1
    int column = 0;
    friend bool operator==(const CellPos&, const CellPos&) = default;
};

inline constexpr int kGridColumns = 3;

// The cell `key` moves to from `from` in a grid of modes 1 to `lastRow`,
// `pageRows` rows to a page. From no cell (row 0) every key lands in the
// first mode row. Nothing (nullopt) when the grid has no mode rows. Tab is
// not a grid key: it goes from control to control, the value editor taking
// the grid's place in the tab order, so that a keyboard user is never caught
// between the grid and its editor.
std::optional<CellPos> cellAfterKey(GridKey key, CellPos from, int lastRow, int pageRows);

// The keys of the value editor that move the current cell.
bool isEditorMoveKey(GridKey key);

}  // namespace veltrin
