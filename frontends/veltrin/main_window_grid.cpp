// SPDX-License-Identifier: Apache-2.0
// The grid half of the Qt view: cells, the current cell and the editor laid
// over a New Content cell.
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>

#include "frontends/veltrin/main_window.h"
#include "ui/qt/colour_button.h"
#include "ui/qt/text.h"

namespace veltrin {

QTableWidgetItem* MainWindow::item(int row, int column) {
    if (row == 0)
        return grid_->horizontalHeaderItem(column);
    QTableWidgetItem* cell = grid_->item(row - 1, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem();
        grid_->setItem(row - 1, column, cell);
    }
    return cell;
}

void MainWindow::setRowCount(int modes) {
    grid_->clearContents();
    grid_->setRowCount(modes);
}

void MainWindow::setCell(int row, int column, const Cell& cell) {
    if (row > grid_->rowCount() || column < 0 || column > 2)
        return;
    QTableWidgetItem* shown = item(row, column);
    shown->setText(ui::qt::widen(cell.text));
    QFont font = grid_->font();
    font.setBold(cell.bold);
    shown->setFont(font);
    if (row == 0)
        return;  // the header keeps the style's colours
    shown->setBackground(ui::toQColor(cell.background));
    shown->setForeground(ui::toQColor(cell.foreground));
}

void MainWindow::clearGrid() {
    for (int column = 0; column < 3; ++column) {
        QTableWidgetItem* header = grid_->horizontalHeaderItem(column);
        header->setText(QString());
        header->setFont(grid_->font());
    }
    grid_->clearContents();
}

void MainWindow::showCurrentCell(int row, int column) {
    // The window's own moves never scroll the grid, so they run no scroll
    // step, and the logic has already run its steps.
    const QSignalBlocker quiet(grid_);
    const bool autoScroll = grid_->hasAutoScroll();
    grid_->setAutoScroll(false);
    if (row == 0)
        grid_->setCurrentCell(-1, -1);
    else
        grid_->setCurrentCell(row - 1, column);
    grid_->setAutoScroll(autoScroll);
}

void MainWindow::placeEditor(int row, int column, const std::string& text, bool focus) {
    text1_->clear();
    text1_->hide();
    // Bring the entered cell into view first; the scroll that may cause
    // finds the editor empty and hidden.
    grid_->scrollTo(grid_->model()->index(row - 1, column));
    const QRect rect = grid_->visualRect(grid_->model()->index(row - 1, 2));
    const QPoint at = grid_->viewport()->mapTo(this, rect.topLeft());
    text1_->setGeometry(at.x(), at.y(), rect.width(), rect.height());
    text1_->setText(ui::qt::widen(text));
    text1_->setEnabled(true);
    text1_->show();
    text1_->raise();
    if (focus)
        text1_->setFocus();
}

void MainWindow::hideEditor() {
    // The editor belongs to the grid: the focus goes back there (without
    // entering a cell), or on in tab order when the grid cannot take it.
    if (text1_->hasFocus() && grid_->isEnabled() && grid_->isVisible())
        grid_->setFocus(Qt::MouseFocusReason);
    text1_->hide();
    text1_->setEnabled(false);
}

std::string MainWindow::editorText() {
    return ui::qt::narrow(text1_->text());
}

void MainWindow::setEditorText(const std::string& text) {
    text1_->setText(ui::qt::widen(text));
}

}  // namespace veltrin
