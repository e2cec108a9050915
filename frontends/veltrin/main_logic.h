// SPDX-License-Identifier: Apache-2.0
// frmMain's logic: everything the Veltrin window decides, toolkit-free. The
// view reports the user's actions here (one call per button and per grid
// event); this runs the operation to its end, calling the library and telling
// the view what to show. It keeps its own copy of the grid's texts and
// formats, so the report and the tests need no widget.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "frontends/veltrin/grid_keys.h"
#include "frontends/veltrin/library.h"
#include "frontends/veltrin/mode_rows.h"
#include "frontends/veltrin/view.h"

namespace veltrin {

inline constexpr const char* kPrompt = "Please Enter the Unit IP Address and hit \"Read Modes\".";
inline constexpr const char* kConnecting = "Connecting..., Please wait.";
inline constexpr const char* kBadAddress = "Please enter a valid IP Address and try again.";
inline constexpr const char* kSaveError = "Unkown error while saving file ";
inline constexpr const char* kTitle = "Veltrin 3.4";
inline constexpr const char* kAppTitle = "Veltrin";

class MainLogic {
  public:
    MainLogic(Library& library, View& view);

    // Start-up: the controls' first states, an empty grid, the editor hidden.
    void start();

    // Buttons: press() runs the step of the button named, as a click or a
    // key on it does in either view; other controls are ignored.
    void press(Control button);
    void readModes();  // also Enter in the address box
    void setMode();
    void disconnect();
    void commit();
    void textReset();
    void refreshAll();
    void saveToFile();
    void restartUnit();
    void showHelp();
    void closeHelp();
    void exitProgram();

    // The address box's text changed.
    void addressChanged(const std::string& text);
    // The user moved the grid's current cell (row 0: the header, or none).
    void cellChanged(int row, int column);
    void scrolled();
    // A click on the header row: the value typed so far is kept (as when
    // leaving the cell) and the editor closes; the current cell stays.
    void headerClicked();
    // Enter typed in the value editor.
    void editorEnter();
    // Escape typed in the value editor: the typing since the cell was
    // entered is undone (the editor shows the cell's text again).
    void editorEscape();
    // Where a key of the grid, or a moving key of the editor, takes the
    // current cell (grid_keys.h); nothing when it leaves the grid.
    std::optional<CellPos> cellAfterKey(GridKey key, int pageRows) const;
    // The client area's new size in twips; a minimised window reports none.
    void resized(int widthTwips, int heightTwips);

    int modeCount() const { return modeCount_; }
    const ModeRows& rows() const { return rows_; }
    const Cell& cell(int row, int column) const;
    int gridRows() const { return static_cast<int>(cells_.size()); }
    bool enabled(Control control) const { return enabled_[index(control)]; }
    ui::Colour buttonColour(Control button) const { return colours_[index(button)]; }
    const std::string& status() const { return status_; }
    int currentRow() const { return currentRow_; }
    int currentColumn() const { return currentColumn_; }

  private:
    static std::size_t index(Control control) { return static_cast<std::size_t>(control); }
    void enable(Control control, bool on);
    void enable(std::initializer_list<Control> controls, bool on);
    void setSignal(Control button, Signal signal);
    void resetCheckSignals();
    void showStatus(const std::string& text);
    void showLibraryProblem();

    // Grid model and view together.
    void setText(int row, int column, const std::string& text);
    void setColours(int row, int column, const ui::Colour& background,
                    const ui::Colour& foreground);
    void setBold(int row, int column, bool bold);
    Cell& cellAt(int row, int column);
    void pushCell(int row, int column);
    void clearGrid();
    void setGridRows(int modes);
    void applyLayout();

    // The window's own move; `focusEditor` false when the move only passes
    // through a cell (Set Mode taking the open value), so the focus stays on
    // the button the user pressed.
    void moveTo(int row, int column, bool focusEditor = true);
    void enterStep(bool focusEditor = true);
    void leaveStep(int row);
    void loadTable();
    void resetRows();
    // Rows the per-row loops cover: ModeCount, never beyond the rows loaded.
    int rowsInUse() const;

    Library& library_;
    View& view_;

    std::string unitAddress_;
    int modeCount_ = 0;
    ModeRows rows_;
    std::vector<std::array<Cell, 3>> cells_;  // row 0 is the header
    bool gridReady_ = false;
    int currentRow_ = 0;
    int currentColumn_ = 0;
    bool helpOpen_ = false;
    std::array<bool, 9> savedEnabled_{};
    std::array<bool, kControlCount> enabled_{};
    std::array<ui::Colour, kControlCount> colours_{};
    std::string status_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
};

}  // namespace veltrin
