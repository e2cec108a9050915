// SPDX-License-Identifier: Apache-2.0
// frmMain, the Win32 view of the Veltrin window: plain Win32 controls (edit
// boxes, owner-drawn buttons, a report-view list control as the grid with an
// edit control laid over the New Content cell, a RichEdit help pane), mapped
// to the View interface. Every button, key and grid event goes to MainLogic.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "frontends/veltrin/main_logic.h"
#include "frontends/veltrin/view.h"
#include "ui/win32/focus.h"
#include "ui/win32/window.h"

namespace veltrin {

// The grid key of a virtual key as it is pressed now (Ctrl read from the
// keyboard state); nothing for a key that does not move the current cell.
std::optional<GridKey> gridKey(WPARAM virtualKey);

class Win32MainWindow : private View {
  public:
    // Creates the window (not yet shown); null window() when that failed.
    Win32MainWindow(HINSTANCE instance, Library& library);
    ~Win32MainWindow() override;

    HWND window() const { return window_; }
    void show(int how);
    // Loads the help file from the program's folder into the help pane.
    void loadHelp(const std::wstring& programFolder);
    // Tab, Enter and the other dialog keys for `message`; true when taken.
    bool handleDialogKey(MSG& message);

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK controlProcedure(HWND control, UINT message, WPARAM w, LPARAM l,
                                             UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK headerProcedure(HWND header, UINT message, WPARAM w, LPARAM l,
                                            UINT_PTR id, DWORD_PTR self);
    LRESULT gridMessage(HWND grid, UINT message, WPARAM w, LPARAM l);
    LRESULT editMessage(Control which, HWND edit, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void buildControls();
    void command(int id, int code);
    LRESULT notify(const NMHDR& header, LPARAM l);
    LRESULT drawGridCell(NMLVCUSTOMDRAW& draw);
    // The user moves the current cell (a key or a click): the cell is
    // scrolled into view and the logic's cell-changed step runs.
    void moveCurrentCell(int row, int column);
    // Runs the scroll step when the first visible row or the horizontal
    // offset changed since the last look, whatever moved them.
    void checkScrolled();
    int pageRows() const;
    void redrawRow(int row);
    HWND control(Control c) const { return controls_[static_cast<std::size_t>(c)]; }

    // View.
    void enableControl(Control control, bool enabled) override;
    void showControl(Control control, bool shown) override;
    void giveFocus(Control control) override;
    void setButtonColour(Control button, const ui::Colour& colour) override;
    void setStatus(const std::string& text) override;
    void setAddress(const std::string& text) override;
    void setBusy(bool busy) override;
    void setRowCount(int modes) override;
    void setCell(int row, int column, const Cell& cell) override;
    void clearGrid() override;
    void showCurrentCell(int row, int column) override;
    void placeEditor(int row, int column, const std::string& text, bool focus) override;
    void hideEditor() override;
    std::string editorText() override;
    void setEditorText(const std::string& text) override;
    void applyLayout(const Layout& layout) override;
    std::optional<SaveChoice> askReportFile() override;
    void showMessage(const std::string& title, const std::string& text) override;
    void quit() override;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    std::array<HWND, kControlCount> controls_{};
    ui::win32::Font gridFont_{9, false};
    ui::win32::Font gridBold_{9, true};
    ui::win32::Font infoFont_{9, true};
    ui::win32::Font editorFont_{8.25, true};
    ui::win32::Font guideFont_{12, true};
    HBRUSH infoBrush_ = nullptr;
    HBRUSH editorBrush_ = nullptr;
    bool settingAddress_ = false;
    ui::win32::TabOrder tabOrder_;
    ui::win32::FocusKeeper focusKeeper_;
    int shownTop_ = 0;   // the grid's first visible row and horizontal offset
    int shownLeft_ = 0;  // when the scroll step last looked
    int markedRow_ = 0;  // the row whose current cell is drawn
    MainLogic logic_;
};

}  // namespace veltrin
