#include "veltrin/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
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
#include "veltrin/window_colours.h"

namespace veltrin {

namespace {

const QString kPrompt = QStringLiteral("Please Enter the Unit IP Address and hit \"Read Modes\".");
const QString kConnecting = QStringLiteral("Connecting..., Please wait.");
const QString kBadAddress = QStringLiteral("Please enter a valid IP Address and try again.");

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void place(QWidget* widget, const Rect& r) {
    place(widget, r.left, r.top, r.width, r.height);
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