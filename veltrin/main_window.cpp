#include "veltrin/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>

#include "veltrin/layout_rule.h"
#include "veltrin/mode_report.h"
#include "veltrin/rtf/rtf_reader.h"

namespace veltrin {

namespace {

const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

const QString kPrompt = QStringLiteral("Please Enter the Unit IP Address and hit \"Read Modes\".");
const QString kConnecting = QStringLiteral("Connecting..., Please wait.");
const QString kBadAddress = QStringLiteral("Please enter a valid IP Address and try again.");

// The grid's header texts and which columns are left-aligned, as the format
// string "Mode |< Content |< New Content " gives them.
const QString kHeaders[3] = {QStringLiteral("Mode "), QStringLiteral(" Content "),
                             QStringLiteral(" New Content ")};

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void place(QWidget* widget, const Rect& r) {
    place(widget, r.left, r.top, r.width, r.height);
}

QColor buttonFace() {
    return QApplication::palette().color(QPalette::Button);
}

}  // namespace

QString MainWindow::askSaveFile(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {QStringLiteral("Text files (*.TXT)"), QStringLiteral("All files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("TXT"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

MainWindow::MainWindow(LumetraBinding* library, QWidget* parent)
    : QWidget(parent), library_(library), chooseSaveFile_(askSaveFile) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Veltrin 3.4"));
    buildControls();
    setTabOrder();
    resize(twipsToPixels(9795), twipsToPixels(8955));
    // Start-up: an empty grid, the editor put in its place, a bold status line.
    clearGrid();
    setTextbox();
    QFont bold = info_->font();
    bold.setBold(true);
    info_->setFont(bold);
    ip_->setFocus();
}

void MainWindow::buildControls() {
    auto button = [this](const char* name, const QString& caption, int left, int top, int width,
                         bool enabled, void (MainWindow::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        place(b, left, top, width, 495);
        b->setEnabled(enabled);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    label1_ = new QLabel(QStringLiteral("Unit IP Address:"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    place(label1_, 240, 240, 1575, 255);

    ip_ = new QLineEdit(this);
    ip_->setObjectName(QStringLiteral("IP"));
    place(ip_, 240, 480, 1455, 285);
    connect(ip_, &QLineEdit::textChanged, this, &MainWindow::addressEdited);
    connect(ip_, &QLineEdit::returnPressed, this, &MainWindow::readModes);

    read_ =
        button("Read", QStringLiteral("Read Modes"), 240, 960, 1455, true, &MainWindow::readModes);
    setMode_ =
        button("SetMode", QStringLiteral("Set Mode"), 2040, 240, 1215, false, &MainWindow::setMode);
    disconnect_ = button("Disconnect", QStringLiteral("Close"), 2040, 960, 1215, false,
                         &MainWindow::disconnectUnit);
    commit_ =
        button("Commit", QStringLiteral("Commit"), 3480, 240, 1215, false, &MainWindow::commit);
    textReset_ = button("TextReset", QStringLiteral("TextReset"), 3480, 960, 1215, false,
                        &MainWindow::textReset);
    refreshAll_ = button("RefreshAll", QStringLiteral("Refresh"), 4920, 240, 1215, false,
                         &MainWindow::refreshAll);
    saveToFile_ = button("SaveToFile", QStringLiteral("SaveToFile"), 4920, 960, 1215, false,
                         &MainWindow::saveToFile);
    restart_ = button("Restart", QStringLiteral("Restart Unit"), 6360, 240, 1215, false,
                      &MainWindow::restartUnit);
    help_ = button("Help", QStringLiteral("Help"), 6360, 960, 1215, true, &MainWindow::showHelp);
    exit_ = button("Exit", QStringLiteral("Exit"), 7800, 240, 1455, true, &MainWindow::exitProgram);

    grid_ = new QTableWidget(0, 3, this);
    grid_->setObjectName(QStringLiteral("Grid"));
    grid_->setFont(QFont(QStringLiteral("Verdana"), 9));
    place(grid_, 240, 1680, 9255, 5595);
    grid_->verticalHeader()->hide();
    // Rows as high as a line of the grid's font, as in a plain grid control.
    grid_->verticalHeader()->setMinimumSectionSize(1);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
    grid_->horizontalHeader()->setSectionsClickable(false);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // No selection highlight: the cell colours are the window's signals.
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    for (int column = 0; column < 3; ++column)
        grid_->setHorizontalHeaderItem(column, new QTableWidgetItem());
    connect(grid_, &QTableWidget::currentCellChanged, this, &MainWindow::currentCellChanged);
    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, this, &MainWindow::gridScrolled);
    connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &MainWindow::gridScrolled);

    userGuide_ = new QTextEdit(this);
    userGuide_->setObjectName(QStringLiteral("UserGuide"));
    userGuide_->setReadOnly(true);
    QFont guideFont(QStringLiteral("Verdana"), 12);
    guideFont.setBold(true);
    userGuide_->document()->setDefaultFont(guideFont);
    place(userGuide_, 240, 1680, 9255, 6855);
    userGuide_->hide();

    info_ = new QLabel(kPrompt, this);
    info_->setObjectName(QStringLiteral("Info"));
    info_->setFont(QFont(QStringLiteral("Verdana"), 9));
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setWordWrap(true);
    info_->setAutoFillBackground(true);
    QPalette tip = info_->palette();
    tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
    info_->setPalette(tip);
    place(info_, 240, 7560, 9255, 975);

    ok_ = button("Ok", QStringLiteral("Ok"), 4200, 7680, 1455, false, &MainWindow::closeHelp);
    ok_->hide();

    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    QFont editorFont(QStringLiteral("Verdana"), 8);
    editorFont.setPointSizeF(8.25);
    editorFont.setBold(true);
    text1_->setFont(editorFont);
    QPalette blue = text1_->palette();
    blue.setColor(QPalette::Base, kBlue);
    blue.setColor(QPalette::Text, kWhite);
    text1_->setPalette(blue);
    text1_->setFrame(false);
    place(text1_, 7320, 7980, 2055, 285);
    text1_->hide();
    connect(text1_, &QLineEdit::returnPressed, this, [this] { editorEnter(); });
}

void MainWindow::setTabOrder() {
    // The order of the original form; labels and the status line take no focus.
    const QWidget* order[] = {ip_,     grid_,    read_,       setMode_,   disconnect_,
                              commit_, restart_, exit_,       help_,      userGuide_,
                              ok_,     text1_,   saveToFile_, textReset_, refreshAll_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyLayout();
}

void MainWindow::applyLayout() {
    if (isMinimized())
        return;
    const Layout layout = layoutFor(width() * kTwipsPerPixel, height() * kTwipsPerPixel);
    if (!layout.apply)
        return;
    place(info_, layout.status);
    place(userGuide_, layout.help);
    place(ok_, layout.ok);
    place(grid_, layout.grid);
    for (int column = 0; column < 3; ++column)
        grid_->setColumnWidth(column, twipsToPixels(layout.columns[column]));
    text1_->setGeometry(twipsToPixels(layout.editorLeft), text1_->y(),
                        twipsToPixels(layout.editorWidth), text1_->height());
}

void MainWindow::setTextbox() {
    // Hidden, over the current cell (or where the cell row 0 would be).
    text1_->hide();
    const int row = std::max(grid_->currentRow(), 0);
    const int column = std::max(grid_->currentColumn(), 0);
    const QRect rect = grid_->visualRect(grid_->model()->index(row, column));
    if (rect.isValid()) {
        const QPoint at = grid_->viewport()->mapTo(this, rect.topLeft());
        text1_->setGeometry(at.x(), at.y(), rect.width(), rect.height());
    }
    if (QTableWidgetItem* item = grid_->currentItem())
        text1_->setText(item->text());
}

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

// ---- Buttons ------------------------------------------------------------

void MainWindow::setSignal(QPushButton* button, Signal signal) {
    QColor colour = buttonFace();
    switch (signal) {
        case Signal::Red:
            colour = kRed;
            break;
        case Signal::Yellow:
            colour = kYellow;
            break;
        case Signal::Green:
            colour = kGreen;
            break;
        case Signal::Neutral:
            break;
    }
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    button->setPalette(palette);
}

void MainWindow::resetCheckSignals() {
    setSignal(commit_, Signal::Neutral);
    setSignal(refreshAll_, Signal::Neutral);
}

void MainWindow::showLibraryProblem() {
    const QString problem = library_->takeProblem();
    if (!problem.isEmpty())
        info_->setText(problem);
}

void MainWindow::addressEdited(const QString& text) {
    if (!read_->isEnabled() && text != unitAddress_) {
        const QSignalBlocker quiet(ip_);
        ip_->setText(unitAddress_);
    }
    unitAddress_ = ip_->text();
}

void MainWindow::readModes() {
    info_->setText(kConnecting);
    gridReady_ = false;
    read_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    info_->repaint();
    const short opened = library_->open(unitAddress_);
    setSignal(refreshAll_, Signal::Neutral);
    if (opened == 0) {
        if (library_->lastError() == 1)
            info_->setText(kBadAddress);
        QApplication::restoreOverrideCursor();
        read_->setEnabled(true);
        showLibraryProblem();
        return;
    }
    const ModeCount count = modeCountFor(opened);
    modeCount_ = count.rows;
    QApplication::restoreOverrideCursor();
    setMode_->setEnabled(true);
    textReset_->setEnabled(true);
    saveToFile_->setEnabled(true);
    info_->clear();
    moveCurrent(0, 0);
    hideEditor();
    loadTable();
    disconnect_->setEnabled(true);
    refreshAll_->setEnabled(true);
    restart_->setEnabled(true);
    read_->setEnabled(false);
    saveToFile_->setEnabled(true);
    gridReady_ = true;
    // The grid takes the focus from the address box without entering a row:
    // a focus gained by tabbing would make its first cell current.
    grid_->setFocus(Qt::MouseFocusReason);
    ip_->setEnabled(false);
    library_->close();
    if (count.truncated) {
        info_->setText(
            QStringLiteral("The unit reports more than %1 modes; the first %1 are shown.")
                .arg(kMaxModes));
    }
    showLibraryProblem();
}

void MainWindow::disconnectUnit() {
    disconnect_->setEnabled(false);
    setSignal(refreshAll_, Signal::Neutral);
    read_->setEnabled(true);
    restart_->setEnabled(false);
    setMode_->setEnabled(false);
    textReset_->setEnabled(false);
    saveToFile_->setEnabled(false);
    gridReady_ = false;
    commit_->setEnabled(false);
    setSignal(setMode_, Signal::Neutral);
    resetRows();
    gridReady_ = true;
    refreshAll_->setEnabled(false);
    ip_->setEnabled(true);
    ip_->setFocus();
    clearGrid();
    // The editor would otherwise float over the emptied grid and hand a
    // value typed into it to a row of the next read.
    hideEditor();
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

void MainWindow::exitProgram() {
    close();
}

// ---- Help view, report and text reset -------------------------------------

void MainWindow::showHelp() {
    userGuide_->show();
    userGuide_->raise();
    ok_->setEnabled(true);
    ok_->show();
    ok_->raise();
    grid_->setEnabled(false);
    grid_->hide();
    info_->setEnabled(false);
    info_->hide();
    QWidget* const saved[] = {setMode_, commit_,    restart_,    disconnect_, read_,
                              label1_,  textReset_, saveToFile_, ip_};
    // A second Help while the view is open must not save the states it set
    // itself, or Ok would give every button back disabled.
    if (!helpOpen_) {
        for (std::size_t i = 0; i < savedEnabled_.size(); ++i)
            savedEnabled_[i] = saved[i]->isEnabled();
    }
    for (QWidget* widget : saved) widget->setEnabled(false);
    helpOpen_ = true;
}

void MainWindow::closeHelp() {
    userGuide_->hide();
    ok_->setEnabled(false);
    ok_->hide();
    grid_->setEnabled(true);
    grid_->show();
    info_->setEnabled(true);
    info_->show();
    QWidget* const saved[] = {setMode_, commit_,    restart_,    disconnect_, read_,
                              label1_,  textReset_, saveToFile_, ip_};
    for (std::size_t i = 0; i < savedEnabled_.size(); ++i) saved[i]->setEnabled(savedEnabled_[i]);
    helpOpen_ = false;
}

void MainWindow::textReset() {
    modeCount_ = modeCountFor(library_->open(unitAddress_)).rows;
    library_->setMode(QStringLiteral("TextReset"), QStringLiteral("TRUE"));
    library_->close();
    showLibraryProblem();
}

void MainWindow::saveToFile() {
    const QString fileName = chooseSaveFile_(this);
    if (fileName.isEmpty())
        return;
    QStringList names;
    QStringList contents;
    for (int i = 1; i <= rowsInUse(); ++i) {
        names << cell(i, 0)->text();
        contents << cell(i, 1)->text();
    }
    if (writeModeReport(fileName, names, contents))
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Veltrin"),
                    QStringLiteral("Unkown error while saving file ") + fileName, QMessageBox::Ok,
                    this);
    box.exec();
}

void MainWindow::loadHelp(const QString& folder) {
    // A help file is a few pages; anything far larger is not one.
    constexpr qint64 kMaxHelpBytes = 16 * 1024 * 1024;
    QFile file(QDir(folder).filePath(QStringLiteral("VeltrinHelp.rtf")));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxHelpBytes)
        return;  // no help file: the pane stays empty, silently
    // A damaged file shows what could be read of it.
    readRtf(file.readAll(), *userGuide_->document());
    userGuide_->moveCursor(QTextCursor::Start);
}

}  // namespace veltrin
