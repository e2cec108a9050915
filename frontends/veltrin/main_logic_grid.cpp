// SPDX-License-Identifier: Apache-2.0
// The grid half of the window logic: the cells, the enter, leave and scroll
// steps, and the operations that walk the rows (Refresh, Set Mode, Commit,
// Restart Unit).
#include "frontends/veltrin/main_logic.h"

namespace veltrin {

namespace {

// The grid's header texts, as the format string
// "Mode |< Content |< New Content " gives them.
const char* const kHeaders[3] = {"Mode ", " Content ", " New Content "};

const Cell kEmptyCell{};

}  // namespace

// ---- Grid model ---------------------------------------------------------

const Cell& MainLogic::cell(int row, int column) const {
    if (row < 0 || row >= gridRows() || column < 0 || column > 2)
        return kEmptyCell;
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

Cell& MainLogic::cellAt(int row, int column) {
    return cells_.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column));
}

void MainLogic::pushCell(int row, int column) {
    view_.setCell(row, column, cellAt(row, column));
}

void MainLogic::setText(int row, int column, const std::string& text) {
    cellAt(row, column).text = text;
    pushCell(row, column);
}

void MainLogic::setColours(int row, int column, const ui::Colour& background,
                           const ui::Colour& foreground) {
    Cell& c = cellAt(row, column);
    c.background = background;
    c.foreground = foreground;
    pushCell(row, column);
}

void MainLogic::setBold(int row, int column, bool bold) {
    cellAt(row, column).bold = bold;
    pushCell(row, column);
}

void MainLogic::clearGrid() {
    for (auto& row : cells_) row.fill(Cell{});
    if (cells_.empty())
        cells_.resize(1);
    view_.clearGrid();
}

void MainLogic::setGridRows(int modes) {
    cells_.resize(static_cast<std::size_t>(modes) + 1);
    view_.setRowCount(modes);
}

int MainLogic::rowsInUse() const {
    return std::min(modeCount_, rows_.count());
}

void MainLogic::loadTable() {
    rows_.create(modeCount_);
    rows_[1].name = library_.firstModeName();
    for (int i = 2; i <= modeCount_; ++i) rows_[i].name = library_.nextModeName();
    // A new table starts from empty cells, whatever the last one left.
    for (auto& row : cells_) row.fill(Cell{});
    setGridRows(modeCount_);
    for (int i = 1; i <= modeCount_; ++i) {
        ModeRow& row = rows_[i];
        library_.modeType(row.name);
        row.help = library_.modeHelp(row.name);
        library_.modeSize(row.name);
        row.content = library_.nvRamMode(row.name);
        row.state = RowState::Clean;
        setColours(i, 1, ui::kButtonFace, ui::kBlack);
        setColours(i, 2, ui::kWhite, ui::kBlack);
    }
    for (int column = 0; column < 3; ++column) setBold(0, column, true);
    for (int i = 0; i <= modeCount_; ++i) setBold(i, 0, true);
    for (int column = 0; column < 3; ++column) setText(0, column, kHeaders[column]);
    applyLayout();
    for (int i = 1; i <= modeCount_; ++i) {
        setText(i, 0, rows_[i].name);
        setText(i, 1, rows_[i].content);
    }
}

void MainLogic::resetRows() {
    for (int i = 1; i <= rowsInUse(); ++i) {
        rows_[i].state = RowState::Clean;
        rows_[i].newContent.clear();
        setColours(i, 1, ui::kButtonFace, ui::kBlack);
        setText(i, 1, "");
        setText(i, 2, "");
        setColours(i, 2, ui::kWhite, ui::kBlack);
    }
}

// ---- Enter, leave and scroll steps -------------------------------------

void MainLogic::moveTo(int row, int column, bool focusEditor) {
    if (row == currentRow_ && column == currentColumn_)
        return;
    if (gridReady_ && currentRow_ != 0)
        leaveStep(currentRow_);
    currentRow_ = row;
    currentColumn_ = column;
    view_.showCurrentCell(row, column);
    if (gridReady_)
        enterStep(focusEditor);
}

void MainLogic::cellChanged(int row, int column) {
    if (row == currentRow_ && column == currentColumn_)
        return;
    // The leave step works on the row that was current before the move.
    if (gridReady_ && currentRow_ != 0)
        leaveStep(currentRow_);
    currentRow_ = row;
    if (column >= 0)
        currentColumn_ = column;
    if (gridReady_)
        enterStep();
}

void MainLogic::leaveStep(int row) {
    if (row < 1 || row > rows_.count())
        return;
    const std::string typed = trimSpaces(view_.editorText());
    view_.setEditorText(typed);
    if (rows_.take(row, typed))
        setText(row, 2, typed);
}

void MainLogic::enterStep(bool focusEditor) {
    const int r = currentRow_;
    if (r == 0 || r > rows_.count()) {
        view_.hideEditor();
        return;
    }
    showStatus(rows_[r].help);
    bool failedLeft = false;
    if (rows_.enter(r)) {
        setText(r, 2, "");
        setColours(r, 2, ui::kWhite, cell(r, 2).foreground);
        failedLeft = rows_.anyFailed();
    }
    if (!failedLeft)
        setSignal(Control::SetMode, Signal::Neutral);
    view_.placeEditor(r, currentColumn_, cell(r, 2).text, focusEditor);
}

void MainLogic::scrolled() {
    if (currentRow_ != 0)
        leaveStep(currentRow_);
    view_.hideEditor();
}

void MainLogic::headerClicked() {
    if (!gridReady_)
        return;
    if (currentRow_ != 0)
        leaveStep(currentRow_);
    view_.hideEditor();
}

void MainLogic::editorEscape() {
    if (currentRow_ == 0)
        return;
    view_.setEditorText(cell(currentRow_, 2).text);
}

std::optional<CellPos> MainLogic::cellAfterKey(GridKey key, int pageRows) const {
    return veltrin::cellAfterKey(key, {currentRow_, currentColumn_}, gridRows() - 1, pageRows);
}

void MainLogic::editorEnter() {
    const int lastRow = gridRows() - 1;
    if (currentRow_ == 0)
        return;
    if (currentRow_ == lastRow) {
        if (currentColumn_ < 2)
            moveTo(1, currentColumn_ + 1);
    } else {
        moveTo(currentRow_ + 1, currentColumn_);
    }
}

// ---- Refresh, Set Mode, Commit, Restart Unit -----------------------------

void MainLogic::refreshAll() {
    library_.reOpen(unitAddress_);
    setSignal(Control::SetMode, Signal::Neutral);
    resetCheckSignals();
    enable(Control::RefreshAll, false);
    gridReady_ = false;
    for (int i = 1; i <= rowsInUse(); ++i) {
        ModeRow& row = rows_[i];
        const std::string value = library_.mode(row.name);
        if (!isClockMode(row.name) && row.content != value) {
            setText(i, 1, value);
            row.content = value;
            setColours(i, 1, ui::kYellow, ui::kBlack);
            setSignal(Control::RefreshAll, Signal::Yellow);
        } else {
            setColours(i, 1, ui::kButtonFace, ui::kBlack);
        }
    }
    gridReady_ = true;
    library_.close();
    enable(Control::RefreshAll, true);
    showLibraryProblem();
}

void MainLogic::setMode() {
    resetCheckSignals();
    library_.reOpen(unitAddress_);
    // Take a value still open in the editor, then leave the rows: entering
    // row 0 hides the editor.
    if (gridReady_) {
        moveTo(currentRow_, 2, false);
        moveTo(0, 2, false);
    }
    gridReady_ = false;
    bool failed = false;
    bool changed = false;
    bool set = false;
    for (int i = 1; i <= rowsInUse(); ++i) {
        ModeRow& row = rows_[i];
        if (row.state != RowState::Edited) {
            setColours(i, 1, ui::kButtonFace, ui::kBlack);
            continue;
        }
        const std::string value = library_.mode(row.name);
        if (row.content != value) {
            // Changed on the unit since the window last looked: not sent.
            setText(i, 1, value);
            row.content = value;
            setColours(i, 1, ui::kYellow, ui::kBlack);
            setColours(i, 2, ui::kBlue, ui::kWhite);
            setBold(i, 2, true);
            changed = true;
            continue;
        }
        const bool accepted = library_.setMode(row.name, row.newContent);
        const std::string readBack = library_.mode(row.name);
        row.newContent = readBack;
        setBold(i, 2, true);
        setColours(i, 1, ui::kButtonFace, ui::kBlack);
        if (accepted) {
            row.content = readBack;
            setText(i, 2, readBack);
            setColours(i, 2, ui::kGreen, ui::kBlack);
            row.state = RowState::SetPending;
            set = true;
        } else {
            setColours(i, 1, ui::kRed, ui::kBlack);
            row.state = RowState::SetFailed;
            failed = true;
        }
    }
    const Signal signal = setModeSignal(failed, changed, set);
    setSignal(Control::SetMode, signal);
    if (signal == Signal::Green)
        enable(Control::Commit, true);
    gridReady_ = true;
    view_.setEditorText("");
    moveTo(0, currentColumn_);
    library_.close();
    showLibraryProblem();
}

void MainLogic::commit() {
    library_.reOpen(unitAddress_);
    setSignal(Control::SetMode, Signal::Neutral);
    resetCheckSignals();
    gridReady_ = false;
    bool allMatch = true;
    for (int i = 1; i <= rowsInUse(); ++i) {
        ModeRow& row = rows_[i];
        if (row.state != RowState::SetPending)
            continue;
        const std::string value = library_.mode(row.name);
        if (row.newContent == value) {
            setText(i, 1, row.newContent);
            setColours(i, 1, ui::kGreen, ui::kBlack);
            row.state = RowState::Clean;
            setText(i, 2, "");
            row.newContent.clear();
            setColours(i, 2, ui::kWhite, ui::kBlack);
        } else {
            setText(i, 1, value);
            setColours(i, 1, ui::kYellow, ui::kBlack);
            setSignal(Control::Commit, Signal::Yellow);
            allMatch = false;
            row.state = RowState::Edited;
            setColours(i, 2, ui::kBlue, ui::kWhite);
            // Held in step with the cell, so one more Set Mode sends the row.
            row.content = value;
        }
    }
    if (allMatch) {
        library_.commit();
        enable(Control::Commit, false);
    }
    view_.setEditorText("");
    gridReady_ = true;
    library_.close();
    showLibraryProblem();
}

void MainLogic::restartUnit() {
    using enum Control;
    enable(RefreshAll, false);
    setSignal(RefreshAll, Signal::Neutral);
    setSignal(SetMode, Signal::Neutral);
    enable(Disconnect, false);
    enable(Read, true);
    enable({SetMode, TextReset, SaveToFile}, false);
    gridReady_ = false;
    enable({Commit, Restart}, false);
    enable(IP, true);
    view_.giveFocus(IP);
    modeCount_ = modeCountFor(library_.open(unitAddress_)).rows;
    for (int i = 1; i <= rowsInUse(); ++i) rows_[i].content = library_.mode(rows_[i].name);
    resetRows();
    library_.restart();
    library_.close();
    gridReady_ = true;
    view_.hideEditor();
    showLibraryProblem();
}

}  // namespace veltrin
