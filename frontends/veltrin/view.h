// SPDX-License-Identifier: Apache-2.0
// What the Veltrin window logic asks of a view: show texts, colours and
// states on the controls, move the grid's current cell, and ask the user.
// A view decides nothing; it maps these to its widgets and hands the user's
// actions to MainLogic. Rows are in grid numbering: row 0 is the header.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "frontends/veltrin/layout_rule.h"
#include "ui/colour.h"

namespace veltrin {

// The window's controls, by their names on the form.
enum class Control {
    Label1,
    IP,
    Read,
    SetMode,
    Disconnect,
    Commit,
    TextReset,
    RefreshAll,
    SaveToFile,
    Restart,
    Help,
    Exit,
    Grid,
    UserGuide,
    Info,
    Ok,
    Text1,
};
inline constexpr int kControlCount = static_cast<int>(Control::Text1) + 1;

// The controls that take the keyboard focus, in tab order (the labels and
// the status line take none). Both views follow it. The value editor sits
// in the grid's place: the editor takes the focus whenever a cell is
// entered, and Tab from it goes on to the buttons rather than round through
// the grid again.
inline constexpr Control kTabOrder[] = {
    Control::IP,         Control::Grid,       Control::Text1,      Control::Read,
    Control::SetMode,    Control::Disconnect, Control::Commit,     Control::Restart,
    Control::Exit,       Control::Help,       Control::UserGuide,  Control::Ok,
    Control::SaveToFile, Control::TextReset,  Control::RefreshAll,
};

// One grid cell as the logic wants it shown.
struct Cell {
    std::string text;
    ui::Colour background = ui::kWhite;
    ui::Colour foreground = ui::kBlack;
    bool bold = false;
};

// The file the user chose in the save dialog, and its name as shown to them.
// `dialogFailed`: the dialog itself failed (not a cancel); the file is then
// not written and the error box names what the dialog held.
struct SaveChoice {
    std::filesystem::path file;
    std::string shownName;
    bool dialogFailed = false;
};

class View {
  public:
    virtual ~View() = default;

    virtual void enableControl(Control control, bool enabled) = 0;
    virtual void showControl(Control control, bool shown) = 0;
    virtual void giveFocus(Control control) = 0;
    // Set Mode, Commit and Refresh; the button face is the neutral colour.
    virtual void setButtonColour(Control button, const ui::Colour& colour) = 0;
    virtual void setStatus(const std::string& text) = 0;
    // The address box's text, put back while the address cannot change.
    virtual void setAddress(const std::string& text) = 0;
    // The busy (hourglass) pointer while a unit is being read; the status
    // line is shown as it stands before the wait starts.
    virtual void setBusy(bool busy) = 0;

    virtual void setRowCount(int modes) = 0;
    virtual void setCell(int row, int column, const Cell& cell) = 0;
    // Every cell text and format, header included; the row count stays.
    virtual void clearGrid() = 0;
    // The window's own move of the current cell (row 0: none). It scrolls
    // nothing and reports nothing back.
    virtual void showCurrentCell(int row, int column) = 0;
    // The value editor over cell (row, 2) with `text`: the entered cell
    // (row, column) scrolled into view first, then shown, enabled and, with
    // `focus`, focused. A scroll it causes may call MainLogic::scrolled.
    virtual void placeEditor(int row, int column, const std::string& text, bool focus) = 0;
    // Hidden and disabled.
    virtual void hideEditor() = 0;
    virtual std::string editorText() = 0;
    virtual void setEditorText(const std::string& text) = 0;
    // The resizable controls and the grid's column widths, in twips.
    virtual void applyLayout(const Layout& layout) = 0;

    // The save dialog: *.TXT files, "TXT" added, a question before replacing
    // a file; nothing on cancel.
    virtual std::optional<SaveChoice> askReportFile() = 0;
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
    // Ends the program.
    virtual void quit() = 0;
};

}  // namespace veltrin
