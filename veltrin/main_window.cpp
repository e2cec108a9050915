#include "veltrin/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>

#include "ui/qt/colour_button.h"
#include "veltrin/help_file.h"
#include "veltrin/layout_rule.h"
#include "veltrin/rtf/rtf_reader.h"

namespace veltrin {

namespace {

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void place(QWidget* widget, const Rect& r) {
    place(widget, r.left, r.top, r.width, r.height);
}

QString widened(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string narrowed(const QString& text) {
    return text.toLatin1().toStdString();
}

}  // namespace

ShownRow ShownRows::operator[](int row) const {
    const ModeRow& r = rows_[row];
    return {widened(r.name), widened(r.help), widened(r.content), widened(r.newContent), r.state};
}

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

MainWindow::MainWindow(Library* library, QWidget* parent)
    : QWidget(parent), chooseSaveFile_(askSaveFile), logic_(*library, *this) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kTitle));
    buildControls();
    setTabOrder();
    resize(twipsToPixels(9795), twipsToPixels(8955));
    logic_.start();
    QFont bold = info_->font();
    bold.setBold(true);
    info_->setFont(bold);
}

void MainWindow::buildControls() {
    auto button = [this](Control control, const char* name, const char* caption, int left, int top,
                         int width, void (MainWindow::*slot)()) {
        // Every button can show an exact colour; Set Mode, Commit and Refresh do.
        auto* b = new ui::ColourButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        place(b, left, top, width, 495);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        controls_[static_cast<std::size_t>(control)] = b;
    };
    auto* label1 = new QLabel(QStringLiteral("Unit IP Address:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    place(label1, 240, 240, 1575, 255);
    controls_[static_cast<std::size_t>(Control::Label1)] = label1;

    ip_ = new QLineEdit(this);
    ip_->setObjectName(QStringLiteral("IP"));
    place(ip_, 240, 480, 1455, 285);
    connect(ip_, &QLineEdit::textChanged, this, &MainWindow::addressEdited);
    connect(ip_, &QLineEdit::returnPressed, this, &MainWindow::readModes);
    controls_[static_cast<std::size_t>(Control::IP)] = ip_;

    using enum Control;
    button(Read, "Read", "Read Modes", 240, 960, 1455, &MainWindow::readModes);
    button(SetMode, "SetMode", "Set Mode", 2040, 240, 1215, &MainWindow::setMode);
    button(Disconnect, "Disconnect", "Close", 2040, 960, 1215, &MainWindow::disconnectUnit);
    button(Commit, "Commit", "Commit", 3480, 240, 1215, &MainWindow::commit);
    button(TextReset, "TextReset", "TextReset", 3480, 960, 1215, &MainWindow::textReset);
    button(RefreshAll, "RefreshAll", "Refresh", 4920, 240, 1215, &MainWindow::refreshAll);
    button(SaveToFile, "SaveToFile", "SaveToFile", 4920, 960, 1215, &MainWindow::saveToFile);
    button(Restart, "Restart", "Restart Unit", 6360, 240, 1215, &MainWindow::restartUnit);
    button(Help, "Help", "Help", 6360, 960, 1215, &MainWindow::showHelp);
    button(Exit, "Exit", "Exit", 7800, 240, 1455, &MainWindow::exitProgram);

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
    controls_[static_cast<std::size_t>(Grid)] = grid_;

    userGuide_ = new QTextEdit(this);
    userGuide_->setObjectName(QStringLiteral("UserGuide"));
    userGuide_->setReadOnly(true);
    QFont guideFont(QStringLiteral("Verdana"), 12);
    guideFont.setBold(true);
    userGuide_->document()->setDefaultFont(guideFont);
    place(userGuide_, 240, 1680, 9255, 6855);
    controls_[static_cast<std::size_t>(UserGuide)] = userGuide_;

    info_ = new QLabel(this);
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
    controls_[static_cast<std::size_t>(Info)] = info_;

    button(Ok, "Ok", "Ok", 4200, 7680, 1455, &MainWindow::closeHelp);

    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    QFont editorFont(QStringLiteral("Verdana"), 8);
    editorFont.setPointSizeF(8.25);
    editorFont.setBold(true);
    text1_->setFont(editorFont);
    QPalette blue = text1_->palette();
    blue.setColor(QPalette::Base, QColor(0, 0, 255));
    blue.setColor(QPalette::Text, QColor(255, 255, 255));
    text1_->setPalette(blue);
    text1_->setFrame(false);
    place(text1_, 7320, 7980, 2055, 285);
    text1_->hide();
    connect(text1_, &QLineEdit::returnPressed, this, &MainWindow::editorEnter);
    controls_[static_cast<std::size_t>(Text1)] = text1_;
}

void MainWindow::setTabOrder() {
    // The order of the original form; labels and the status line take no focus.
    using enum Control;
    const Control order[] = {IP,   Grid,      Read, SetMode, Disconnect, Commit,    Restart,   Exit,
                             Help, UserGuide, Ok,   Text1,   SaveToFile, TextReset, RefreshAll};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(widget(order[i]), widget(order[i + 1]));
}

QWidget* MainWindow::widget(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMinimized())
        logic_.resized(width() * kTwipsPerPixel, height() * kTwipsPerPixel);
}

void MainWindow::addressEdited(const QString& text) {
    logic_.addressChanged(narrowed(text));
}

void MainWindow::currentCellChanged(int row, int column, int, int) {
    logic_.cellChanged(row + 1, column);
}

void MainWindow::loadHelp(const QString& folder) {
    // A help file is a few pages; anything far larger is not one.
    constexpr qint64 kMaxHelpBytes = 16 * 1024 * 1024;
    QFile file(QString::fromStdU16String(helpFile(folder.toStdU16String()).u16string()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxHelpBytes)
        return;  // no help file: the pane stays empty, silently
    // A damaged file shows what could be read of it.
    readRtf(file.readAll(), *userGuide_->document());
    userGuide_->moveCursor(QTextCursor::Start);
}

// ---- View: controls -------------------------------------------------------

void MainWindow::enableControl(Control control, bool enabled) {
    widget(control)->setEnabled(enabled);
}

void MainWindow::showControl(Control control, bool shown) {
    QWidget* w = widget(control);
    w->setVisible(shown);
    if (shown)
        w->raise();
}

void MainWindow::giveFocus(Control control) {
    // The grid takes the focus without entering a row: a focus gained by
    // tabbing would make its first cell current.
    widget(control)->setFocus(control == Control::Grid ? Qt::MouseFocusReason
                                                       : Qt::OtherFocusReason);
}

void MainWindow::setButtonColour(Control button, const ui::Colour& colour) {
    static_cast<ui::ColourButton*>(widget(button))->setColour(colour);
}

void MainWindow::setStatus(const std::string& text) {
    info_->setText(widened(text));
}

void MainWindow::setAddress(const std::string& text) {
    const QSignalBlocker quiet(ip_);
    ip_->setText(widened(text));
}

void MainWindow::setBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        info_->repaint();
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MainWindow::applyLayout(const Layout& layout) {
    place(info_, layout.status);
    place(userGuide_, layout.help);
    place(widget(Control::Ok), layout.ok);
    place(grid_, layout.grid);
    for (int column = 0; column < 3; ++column)
        grid_->setColumnWidth(column, twipsToPixels(layout.columns[column]));
    text1_->setGeometry(twipsToPixels(layout.editorLeft), text1_->y(),
                        twipsToPixels(layout.editorWidth), text1_->height());
}

std::optional<SaveChoice> MainWindow::askReportFile() {
    const QString fileName = chooseSaveFile_(this);
    if (fileName.isEmpty())
        return std::nullopt;
    return SaveChoice{std::filesystem::path(fileName.toStdU16String()), narrowed(fileName)};
}

void MainWindow::showMessage(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, widened(title), widened(text), QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::quit() {
    close();
}

}  // namespace veltrin
