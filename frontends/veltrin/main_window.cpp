// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>

#include "frontends/veltrin/controls.h"
#include "frontends/veltrin/help_file.h"
#include "frontends/veltrin/layout_rule.h"
#include "frontends/veltrin/rtf/rtf_reader.h"
#include "ui/qt/colour_button.h"
#include "ui/qt/focus.h"
#include "ui/qt/text.h"

namespace veltrin {

namespace {

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(ui::twipsToPixels(left), ui::twipsToPixels(top), ui::twipsToPixels(width),
                        ui::twipsToPixels(height));
}

void place(QWidget* widget, const ui::TwipsRect& r) {
    place(widget, r.left, r.top, r.width, r.height);
}

QString widened(const std::string& bytes) {
    return ui::qt::widen(bytes);
}

std::string narrowed(const QString& text) {
    return ui::qt::narrow(text);
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
    resize(ui::twipsToPixels(kClientWidth), ui::twipsToPixels(kClientHeight));
    logic_.start();
    QFont bold = info_->font();
    bold.setBold(true);
    info_->setFont(bold);
}

void MainWindow::buildControls() {
    // Every control named and placed from the control table (controls.h).
    auto keep = [this](Control control, QWidget* w) {
        w->setObjectName(QLatin1String(spec(control).name));
        place(w, spec(control).place);
        controls_[static_cast<std::size_t>(control)] = w;
    };
    auto* label1 = new QLabel(ui::qt::widen(spec(Control::Label1).caption), this);
    keep(Control::Label1, label1);

    ip_ = new QLineEdit(this);
    keep(Control::IP, ip_);
    connect(ip_, &QLineEdit::textChanged, this, &MainWindow::addressEdited);
    connect(ip_, &QLineEdit::returnPressed, this, &MainWindow::readModes);

    using enum Control;
    for (Control control : kButtons) {
        // Every button can show an exact colour; Set Mode, Commit and Refresh do.
        auto* b = new ui::ColourButton(ui::qt::widen(spec(control).caption), this);
        keep(control, b);
        // Enter on a focused button presses it, as Space does; the window
        // has no default button.
        b->setAutoDefault(true);
        connect(b, &QPushButton::clicked, this, [this, control] { pressed(control); });
    }

    grid_ = new QTableWidget(0, 3, this);
    grid_->setFont(QFont(QStringLiteral("Verdana"), 9));
    keep(Grid, grid_);
    grid_->verticalHeader()->hide();
    // Rows as high as a line of the grid's font, as in a plain grid control.
    grid_->verticalHeader()->setMinimumSectionSize(1);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
    grid_->horizontalHeader()->setSectionsClickable(false);
    // A click on the header row closes the editor (eventFilter).
    grid_->horizontalHeader()->viewport()->installEventFilter(this);
    // Tab goes from control to control; the arrows move within the grid.
    grid_->setTabKeyNavigation(false);
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
    userGuide_->setReadOnly(true);
    QFont guideFont(QStringLiteral("Verdana"), 12);
    guideFont.setBold(true);
    userGuide_->document()->setDefaultFont(guideFont);
    keep(UserGuide, userGuide_);

    info_ = new QLabel(this);
    info_->setFont(QFont(QStringLiteral("Verdana"), 9));
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setWordWrap(true);
    info_->setAutoFillBackground(true);
    QPalette tip = info_->palette();
    tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
    info_->setPalette(tip);
    keep(Info, info_);

    text1_ = new QLineEdit(this);
    QFont editorFont(QStringLiteral("Verdana"), 8);
    editorFont.setPointSizeF(8.25);
    editorFont.setBold(true);
    text1_->setFont(editorFont);
    QPalette blue = text1_->palette();
    blue.setColor(QPalette::Base, QColor(0, 0, 255));
    blue.setColor(QPalette::Text, QColor(255, 255, 255));
    text1_->setPalette(blue);
    text1_->setFrame(false);
    keep(Text1, text1_);
    text1_->hide();
    connect(text1_, &QLineEdit::returnPressed, this, &MainWindow::editorEnter);
    // Escape and the moving keys (eventFilter).
    text1_->installEventFilter(this);
}

void MainWindow::setTabOrder() {
    // The order of the original form; labels and the status line take no focus.
    for (std::size_t i = 0; i + 1 < std::size(kTabOrder); ++i)
        QWidget::setTabOrder(widget(kTabOrder[i]), widget(kTabOrder[i + 1]));
}

QWidget* MainWindow::widget(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMinimized())
        logic_.resized(width() * ui::kTwipsPerPixel, height() * ui::kTwipsPerPixel);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->horizontalHeader()->viewport() &&
        event->type() == QEvent::MouseButtonPress) {
        logic_.headerClicked();
        return false;
    }
    if (watched != text1_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        logic_.editorEscape();
        return true;
    }
    const auto move = editorMoveKey(*key);
    if (!move)
        return false;
    // The grid's own move, reported back through currentCellChanged as
    // any move by the user is.
    const int page = std::max(1, grid_->viewport()->height() / std::max(1, grid_->rowHeight(0)));
    if (const auto to = logic_.cellAfterKey(*move, page))
        grid_->setCurrentCell(to->row - 1, to->column);
    return true;
}

std::optional<GridKey> MainWindow::editorMoveKey(const QKeyEvent& key) {
    const bool control = key.modifiers() == Qt::ControlModifier;
    if (key.modifiers() != Qt::NoModifier && !control)
        return std::nullopt;
    std::optional<GridKey> move;
    switch (key.key()) {
        case Qt::Key_Up:
            move = GridKey::Up;
            break;
        case Qt::Key_Down:
            move = GridKey::Down;
            break;
        case Qt::Key_PageUp:
            move = GridKey::PageUp;
            break;
        case Qt::Key_PageDown:
            move = GridKey::PageDown;
            break;
        case Qt::Key_Home:
            move = GridKey::FirstCell;
            break;
        case Qt::Key_End:
            move = GridKey::LastCell;
            break;
        default:
            return std::nullopt;
    }
    // Home and End without Ctrl stay with the editor's text.
    if ((key.key() == Qt::Key_Home || key.key() == Qt::Key_End) != control)
        return std::nullopt;
    if (!isEditorMoveKey(*move))
        return std::nullopt;
    return move;
}

void MainWindow::pressed(Control button) {
    logic_.press(button);
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
    ui::qt::setEnabled(widget(control), enabled);
}

void MainWindow::showControl(Control control, bool shown) {
    QWidget* w = widget(control);
    ui::qt::setVisible(w, shown);
    if (shown)
        w->raise();  // stacking only: Qt's tab order is its own
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
        grid_->setColumnWidth(column, ui::twipsToPixels(layout.columns[column]));
    text1_->setGeometry(ui::twipsToPixels(layout.editorLeft), text1_->y(),
                        ui::twipsToPixels(layout.editorWidth), text1_->height());
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
