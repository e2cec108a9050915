// The grid half of the Veltrin window: the cells, the enter, leave and
// scroll steps, and the operations that walk the rows (Refresh, Set Mode,
// Commit, Restart Unit).
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "veltrin/main_window.h"
#include "veltrin/window_colours.h"

namespace veltrin {

namespace {

// The grid's header texts and which columns are left-aligned, as the format
// string "Mode |< Content |< New Content " gives them.
const QString kHeaders[3] = {QStringLiteral("Mode "), QStringLiteral(" Content "),
                             QStringLiteral(" New Content ")};

}  // namespace

// ---- Grid helpers -------------------------------------------------------

QTableWidgetItem* MainWindow::cell(int row, int column) {
    if (row == 0)
        return grid_->horizontalHeaderItem(column);
    QTableWidgetItem* item = grid_->item(row - 1, column);
    if (item == nullptr) {
        item = new QTableWidgetItem();
        grid_->setItem(row - 1, column, item);
    }
    return item;
}

void MainWindow::setCellColours(int row, int column, const QColor& background, const QColor& text) {
    QTableWidgetItem* item = cell(row, column);
    item->setBackground(background);
    item->setForeground(text);
}

void MainWindow::setCellBold(int row, int column, bool bold) {
    QTableWidgetItem* item = cell(row, column);
    QFont font = grid_->font();
    font.setBold(bold);
    item->setFont(font);
}

void MainWindow::moveCurrent(int row, int column) {
    // The window's own moves never scroll the grid, so they run no scroll step.
    const bool autoScroll = grid_->hasAutoScroll();
    grid_->setAutoScroll(false);
    if (row == 0) {
        grid_->setCurrentCell(-1, -1);
        currentColumn_ = column;
    } else {
        grid_->setCurrentCell(row - 1, column);
    }
    grid_->setAutoScroll(autoScroll);
}

void MainWindow::clearGrid() {
    for (int column = 0; column < 3; ++column) {
        QTableWidgetItem* header = grid_->horizontalHeaderItem(column);
        header->setText(QString());
        header->setFont(grid_->font());
    }
    grid_->clearContents();
}

int MainWindow::rowsInUse() const {
    return std::min(modeCount_, rows_.count());
}

void MainWindow::loadTable() {
    rows_.create(modeCount_);
    rows_[1].name = library_->firstModeName();
    for (int i = 2; i <= modeCount_; ++i) rows_[i].name = library_->nextModeName();
    grid_->clearContents();
    grid_->setRowCount(modeCount_);
    const QColor face = buttonFace();
    for (int i = 1; i <= modeCount_; ++i) {
        ModeRow& row = rows_[i];
        library_->modeType(row.name);
        row.help = library_->modeHelp(row.name);
        library_->modeSize(row.name);
        row.content = library_->nvRamMode(row.name);
        row.state = RowState::Clean;
        setCellColours(i, 1, face, kBlack);
        setCellColours(i, 2, kWhite, kBlack);
    }
    for (int column = 0; column < 3; ++column) setCellBold(0, column, true);
    for (int i = 0; i <= modeCount_; ++i) setCellBold(i, 0, true);
    for (int column = 0; column < 3; ++column) cell(0, column)->setText(kHeaders[column]);
    applyLayout();
    for (int i = 1; i <= modeCount_; ++i) {
        cell(i, 0)->setText(rows_[i].name);
        cell(i, 1)->setText(rows_[i].content);
    }
}

void MainWindow::resetRows() {
    const QColor face = buttonFace();
    for (int i = 1; i <= rowsInUse(); ++i) {
        rows_[i].state = RowState::Clean;
        rows_[i].newContent.clear();
        setCellColours(i, 1, face, kBlack);
        cell(i, 1)->setText(QString());
        cell(i, 2)->setText(QString());
        setCellColours(i, 2, kWhite, kBlack);
    }
}

// ---- Enter, leave and scroll steps -------------------------------------

void MainWindow::currentCellChanged(int row, int column, int, int) {
    // The leave step works on the row that was current before the move.
    if (gridReady_ && currentRow_ != 0)
        leaveStep(currentRow_);
    currentRow_ = row + 1;
    if (column >= 0)
        currentColumn_ = column;
    if (gridReady_)
        enterStep();
}

void MainWindow::leaveStep(int row) {
    if (row < 1 || row > rows_.count())
        return;
    const QString typed = trimSpaces(text1_->text());
    text1_->setText(typed);
    if (rows_.take(row, typed))
        cell(row, 2)->setText(typed);
}

void MainWindow::enterStep() {
    const int r = currentRow_;
    if (r == 0 || r > rows_.count()) {
        hideEditor();
        return;
    }
    info_->setText(rows_[r].help);
    bool failedLeft = false;
    if (rows_.enter(r)) {
        cell(r, 2)->setText(QString());
        setCellColours(r, 2, kWhite, cell(r, 2)->foreground().color());
        failedLeft = rows_.anyFailed();
    }
    if (!failedLeft)
        setSignal(setMode_, Signal::Neutral);
    placeEditor(r);
}

void MainWindow::placeEditor(int row) {
    text1_->clear();
    text1_->hide();
    // Bring the entered cell into view first; the scroll that may cause
    // finds the editor empty and hidden.
    grid_->scrollTo(grid_->model()->index(row - 1, currentColumn_));
    const QRect rect = grid_->visualRect(grid_->model()->index(row - 1, 2));
    const QPoint at = grid_->viewport()->mapTo(this, rect.topLeft());
    text1_->setGeometry(at.x(), at.y(), rect.width(), rect.height());
    text1_->setText(cell(row, 2)->text());
    text1_->setEnabled(true);
    text1_->show();
    text1_->raise();
    text1_->setFocus();
}

void MainWindow::hideEditor() {
    text1_->hide();
    text1_->setEnabled(false);
}

void MainWindow::gridScrolled() {
    if (currentRow_ != 0)
        leaveStep(currentRow_);
    hideEditor();
}

void MainWindow::editorEnter() {
    const int lastRow = grid_->rowCount();
    if (currentRow_ == lastRow) {
        if (currentColumn_ < 2)
            grid_->setCurrentCell(0, currentColumn_ + 1);
    } else {
        grid_->setCurrentCell(currentRow_, currentColumn_);  // one row down
    }
}

void MainWindow::refreshAll() {
    library_->reOpen(unitAddress_);
    setSignal(setMode_, Signal::Neutral);
    resetCheckSignals();
    refreshAll_->setEnabled(false);
    gridReady_ = false;
    const QColor face = buttonFace();
    for (int i = 1; i <= rowsInUse(); ++i) {
        ModeRow& row = rows_[i];
        const QString value = library_->mode(row.name);
        if (!isClockMode(row.name) && row.content != value) {
            cell(i, 1)->setText(value);
            row.content = value;
            setCellColours(i, 1, kYellow, kBlack);
            setSignal(refreshAll_, Signal::Yellow);
        } else {
            setCellColours(i, 1, face, kBlack);
        }
    }
    gridReady_ = true;
    library_->close();
    refreshAll_->setEnabled(true);
    showLibraryProblem();
}

void MainWindow::setMode() {
    resetCheckSignals();
    library_->reOpen(unitAddress_);
    // Take a value still open in the editor, then leave the rows: entering
    // row 0 hides the editor.
    if (gridReady_) {
        moveCurrent(currentRow_, 2);
        moveCurrent(0, 2);
    }
    gridReady_ = false;
    bool failed = false;
    bool changed = false;
    bool set = false;
    const QColor face = buttonFace();
    for (int i = 1; i <= rowsInUse(); ++i) {
        ModeRow& row = rows_[i];
        if (row.state != RowState::Edited) {
            setCellColours(i, 1, face, kBlack);
            continue;
        }
        const QString value = library_->mode(row.name);
        if (row.content != value) {
            // Changed on the unit since the window last looked: not sent.
            cell(i, 1)->setText(value);
            row.content = value;
            setCellColours(i, 1, kYellow, kBlack);
            setCellColours(i, 2, kBlue, kWhite);
            setCellBold(i, 2, true);
            changed = true;
            continue;
        }
        const bool accepted = library_->setMode(row.name, row.newContent);
        const QString readBack = library_->mode(row.name);
        row.newContent = readBack;
        setCellBold(i, 2, true);
        setCellColours(i, 1, face, kBlack);
        if (accepted) {
            row.content = readBack;
            cell(i, 2)->setText(readBack);
            setCellColours(i, 2, kGreen, kBlack);
            row.state = RowState::SetPending;
            set = true;
        } else {
            setCellColours(i, 1, kRed, kBlack);
            row.state = RowState::SetFailed;
            failed = true;
        }
    }
    const Signal signal = setModeSignal(failed, changed, set);
    setSignal(setMode_, signal);
    if (signal == Signal::Green)
        commit_->setEnabled(true);
    gridReady_ = true;
    text1_->clear();
    moveCurrent(0, currentColumn_);
    library_->close();
    showLibraryProblem();
}

void MainWindow::commit() {
    library_->reOpen(unitAddress_);
    setSignal(setMode_, Signal::Neutral);
    resetCheckSignals();
    gridReady_ = false;
    bool allMatch = true;
    for (int i = 1; i <= rowsInUse(); ++i) {
        ModeRow& row = rows_[i];
        if (row.state != RowState::SetPending)
            continue;
        const QString value = library_->mode(row.name);
        if (row.newContent == value) {
            cell(i, 1)->setText(row.newContent);
            setCellColours(i, 1, kGreen, kBlack);
            row.state = RowState::Clean;
            cell(i, 2)->setText(QString());
            row.newContent.clear();
            setCellColours(i, 2, kWhite, kBlack);
        } else {
            cell(i, 1)->setText(value);
            setCellColours(i, 1, kYellow, kBlack);
            setSignal(commit_, Signal::Yellow);
            allMatch = false;
            row.state = RowState::Edited;
            setCellColours(i, 2, kBlue, kWhite);
            // Held in step with the cell, so one more Set Mode sends the row.
            row.content = value;
        }
    }
    if (allMatch) {
        library_->commit();
        commit_->setEnabled(false);
    }
    text1_->clear();
    gridReady_ = true;
    library_->close();
    showLibraryProblem();
}

void MainWindow::restartUnit() {
    refreshAll_->setEnabled(false);
    setSignal(refreshAll_, Signal::Neutral);
    setSignal(setMode_, Signal::Neutral);
    disconnect_->setEnabled(false);
    read_->setEnabled(true);
    setMode_->setEnabled(false);
    textReset_->setEnabled(false);
    saveToFile_->setEnabled(false);
    gridReady_ = false;
    commit_->setEnabled(false);
    restart_->setEnabled(false);
    ip_->setEnabled(true);
    ip_->setFocus();
    modeCount_ = modeCountFor(library_->open(unitAddress_)).rows;
    for (int i = 1; i <= rowsInUse(); ++i) rows_[i].content = library_->mode(rows_[i].name);
    resetRows();
    library_->restart();
    library_->close();
    gridReady_ = true;
    hideEditor();
    showLibraryProblem();
}

}  // namespace veltrin
