// SPDX-License-Identifier: Apache-2.0
// The window's per-mode rows and the state each row is in, kept apart from
// the widgets so the rules can be tested without a window. Rows are numbered
// from 1, as in the grid, whose row 0 is the header.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "ui/colour.h"

namespace veltrin {

enum class RowState : short { Clean = 0, Edited = 1, SetPending = 2, SetFailed = 4 };

struct ModeRow {
    std::string name;
    std::string help;
    std::string content;     // the value the window takes to be the unit's
    std::string newContent;  // the value typed, or read back after a set
    RowState state = RowState::Clean;
};

// The colour a signalling button (Set Mode, Commit, Refresh) shows.
enum class Signal { Neutral, Red, Yellow, Green };
ui::Colour signalColour(Signal signal);

// The grid holds the header and the modes in rows counted by a signed 16-bit
// number, so at most 32766 modes fit.
inline constexpr int kMaxModes = 32766;

class ModeRows {
  public:
    // Empty rows 1..count.
    void create(int count) { rows_.assign(static_cast<std::size_t>(std::max(count, 0)), {}); }
    int count() const { return static_cast<int>(rows_.size()); }
    ModeRow& operator[](int row) { return rows_.at(static_cast<std::size_t>(row - 1)); }
    const ModeRow& operator[](int row) const { return rows_.at(static_cast<std::size_t>(row - 1)); }

    // A value taken from the editor for `row`, already trimmed. An empty
    // value never changes the row; false then, true when the New Content
    // cell is to show it.
    bool take(int row, const std::string& trimmed);
    // Entering a row: a refused row forgets its typed value and is Clean
    // again. True when the row was refused.
    bool enter(int row);
    bool anyFailed() const;
    // Close and Restart Unit: every row Clean with nothing typed.
    void resetAll();

  private:
    std::vector<ModeRow> rows_;
};

// Leading and trailing spaces removed; other white space is kept.
std::string trimSpaces(const std::string& text);

// The Set Mode button's colour at the end of a Set Mode run.
Signal setModeSignal(bool failed, bool changed, bool set);

// The number of rows to load for what uxOpen returned: at most kMaxModes.
// A count at the library's own ceiling (or a negative one, which a 16-bit
// count that wrapped would give) means the unit has more than fit.
struct ModeCount {
    int rows = 0;
    bool truncated = false;
};
ModeCount modeCountFor(int fromLibrary);

// The clock mode's value moves on its own, so Refresh never marks it.
bool isClockMode(const std::string& name);

}  // namespace veltrin
