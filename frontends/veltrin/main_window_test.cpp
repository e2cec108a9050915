// SPDX-License-Identifier: Apache-2.0
// The Veltrin window driven with real key and mouse events against the real
// Lumetra library and simulated units, each on its own 127.0.12.x address.
// What a unit received is read back from its journal.
#include "frontends/veltrin/main_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "frontends/veltrin/layout_rule.h"
#include "frontends/veltrin/lumetra_binding.h"
#include "tests/support/process.h"

using namespace std::chrono_literals;

// Starts the test's unit and reads its modes; the test ends there if that failed.
#define OPEN_ON_UNIT(...)               \
    do {                                \
        openOnUnit(__VA_ARGS__);        \
        if (QTest::currentTestFailed()) \
            return;                     \
    } while (false)
using veltrin::RowState;

namespace {

const char* const kModes =
    "UnitID STRING,16 = UNIT0001  # Name the unit reports to its host\n"
    "POSTimeout INTEGER = 10  # Seconds a host answer stays shown\n"
    "ServerType STRING,8 = NOMINAL  # Host message form\n"
    "dateTime STRING,19 = 2026-01-01 00:00:00  # Unit clock\n"
    "Backlight INTEGER = 80  # Display backlight, percent\n";

// Rows of kModes, in grid numbering.
enum Row { kUnitId = 1, kPosTimeout, kServerType, kDateTime, kBacklight };

const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

// A simulated unit with a journal; stopped when the test ends.
class Unit {
  public:
    // `extra` options for unitsim; "--builtin" first serves its own large
    // table instead of the five modes above.
    explicit Unit(const std::string& address, std::vector<std::string> extra = {})
        : address_(address), dir_(support::makeTempDir("veltrin_unit")) {
        std::vector<std::string> argv = {UNITSIM_BIN, "--address", address, "--journal",
                                         dir_ + "/journal"};
        if (!extra.empty() && extra.front() == "--builtin") {
            extra.erase(extra.begin());
        } else {
            support::writeFile(dir_ + "/modes.txt", kModes);
            argv.insert(argv.end(), {"--modes", dir_ + "/modes.txt"});
        }
        argv.insert(argv.end(), extra.begin(), extra.end());
        process_ = std::make_unique<support::Background>(argv);
        started_ = process_->waitForOutput("listening", 5s);
        if (!started_) {
            const support::RunResult result = process_->stop();
            qWarning("unitsim did not start: %s%s", result.out.c_str(), result.err.c_str());
        }
    }
    bool started() const { return started_; }
    QString address() const { return QString::fromStdString(address_); }

    // The query texts the unit received, in order.
    QStringList queries() const {
        QStringList out;
        std::ifstream in(dir_ + "/journal");
        const std::string prefix = "recv MDSQ ";
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(prefix, 0) == 0)
                out << QString::fromStdString(line.substr(prefix.size()));
        }
        return out;
    }
    // Queries after the first `mark`, waiting (bounded) until there are `count`.
    QStringList queriesAfter(qsizetype mark, qsizetype count = -1) const {
        QStringList all = queries();
        for (int i = 0; i < 40 && count >= 0 && all.size() < mark + count; ++i) {
            std::this_thread::sleep_for(50ms);
            all = queries();
        }
        return all.mid(mark);
    }

  private:
    std::string address_;
    std::string dir_;
    std::unique_ptr<support::Background> process_;
    bool started_ = false;
};

QStringList quoted(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* t : texts) out << QStringLiteral("\"%1\"").arg(QLatin1String(t));
    return out;
}

const QStringList kForce = quoted({"ForceResponse=TRUE", "ForceError=TRUE", "ForceHelpText=TRUE"});

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<veltrin::LumetraBinding> library_;
    std::unique_ptr<veltrin::MainWindow> window_;
    std::unique_ptr<Unit> unit_;

    veltrin::MainWindow& window() { return *window_; }
    template <typename T = QWidget>
    T* find(const char* name) {
        T* widget = window_->findChild<T*>(QLatin1String(name));
        if (widget == nullptr)
            qFatal("no control %s", name);
        return widget;
    }
    QTableWidget* grid() { return find<QTableWidget>("Grid"); }
    QLineEdit* editor() { return find<QLineEdit>("Text1"); }
    QString info() { return find<QLabel>("Info")->text(); }
    QString cellText(int row, int column) {
        QTableWidgetItem* item =
            row == 0 ? grid()->horizontalHeaderItem(column) : grid()->item(row - 1, column);
        return item != nullptr ? item->text() : QString();
    }
    QColor cellBackground(int row, int column) {
        return grid()->item(row - 1, column)->background().color();
    }
    QColor buttonColour(const char* name) {
        return find<QPushButton>(name)->palette().color(QPalette::Button);
    }
    QColor face() { return QApplication::palette().color(QPalette::Button); }
    RowState state(int row) { return window_->rows()[row].state; }

    void openWindow(veltrin::LumetraBinding* library = nullptr) {
        if (library == nullptr) {
            library_ = std::make_unique<veltrin::LumetraBinding>();
            library = library_.get();
        }
        window_ = std::make_unique<veltrin::MainWindow>(library);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    // A unit of its own for the test, and the window with its modes read.
    void openOnUnit(const char* address, std::vector<std::string> extra = {}) {
        unit_ = std::make_unique<Unit>(address, std::move(extra));
        QVERIFY(unit_->started());
        openWindow();
        readModes(*unit_);
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void readModes(const Unit& unit) {
        QTest::keyClicks(find<QLineEdit>("IP"), unit.address());
        QTest::keyClick(find<QLineEdit>("IP"), Qt::Key_Return);
    }
    void clickCell(int row, int column) {
        const QRect rect = grid()->visualRect(grid()->model()->index(row - 1, column));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Enters the row's New Content cell, types, and leaves it by Enter.
    void typeValue(int row, const QString& text) {
        clickCell(row, 2);
        QVERIFY(editor()->isVisible());
        QTest::keyClicks(editor(), text);
        QTest::keyClick(editor(), Qt::Key_Return);
    }
    // Another client changes a mode on the unit, between the window's operations.
    void changeOnUnit(const Unit& unit, const char* name, const char* value) {
        veltrin::LumetraBinding other;
        QCOMPARE(other.reOpen(unit.address()), short(1));
        // Bytes as the unit holds them, whatever the locale makes of them.
        QVERIFY(other.setMode(std::string(name), std::string(value)));
        other.close();
    }
    void shot(const char* name) {
        const QString path = QStringLiteral(SHOTS_DIR "/%1").arg(QLatin1String(name));
        QVERIFY(window_->grab().save(path));
    }
    void expectEnabled(std::initializer_list<const char*> on,
                       std::initializer_list<const char*> off) {
        for (const char* name : on) QVERIFY2(find(name)->isEnabled(), name);
        for (const char* name : off) QVERIFY2(!find(name)->isEnabled(), name);
    }
    void expectNotRead() {
        expectEnabled({"IP", "Read", "Help", "Exit"},
                      {"SetMode", "Disconnect", "Commit", "TextReset", "RefreshAll", "SaveToFile",
                       "Restart"});
    }
    void expectRead() {
        expectEnabled({"SetMode", "Disconnect", "TextReset", "RefreshAll", "SaveToFile", "Restart",
                       "Help", "Exit"},
                      {"IP", "Read"});
    }

    // The nine saved states, plus Refresh, Help and Exit that keep theirs.
    QList<bool> enabledStates() {
        QList<bool> out;
        for (const char* name : {"SetMode", "Commit", "Restart", "Disconnect", "Read", "Label1",
                                 "TextReset", "SaveToFile", "IP", "RefreshAll", "Help", "Exit"})
            out << find(name)->isEnabled();
        return out;
    }
    void openAndCloseHelp(bool pressHelpTwice) {
        const QList<bool> before = enabledStates();
        click("Help");
        if (pressHelpTwice)
            click("Help");
        QVERIFY(find("UserGuide")->isVisible());
        QVERIFY(find("Ok")->isVisible() && find("Ok")->isEnabled());
        QVERIFY(!grid()->isVisible() && !find("Info")->isVisible());
        for (const char* name : {"SetMode", "Commit", "Restart", "Disconnect", "Read", "Label1",
                                 "TextReset", "SaveToFile", "IP"})
            QVERIFY2(!find(name)->isEnabled(), name);
        QCOMPARE(find("Help")->isEnabled(), true);
        QCOMPARE(find("Exit")->isEnabled(), true);
        click("Ok");
        QCOMPARE(enabledStates(), before);
        QVERIFY(!find("UserGuide")->isVisible() && !find("Ok")->isVisible());
        QVERIFY(!find("Ok")->isEnabled());
        QVERIFY(grid()->isVisible() && find("Info")->isVisible());
    }
    // Answers the save dialog with `path` ("" cancels) and saves.
    void saveAs(const QString& path) {
        window().setSaveFileChooser([path](QWidget*) { return path; });
        click("SaveToFile");
    }

  private slots:
    void cleanup() {
        window_.reset();
        library_.reset();
        unit_.reset();
    }

    void startUpControls() {
        openWindow();
        QCOMPARE(window().windowTitle(), QStringLiteral("Veltrin 3.4"));
        const std::pair<const char*, const char*> captions[] = {{"Read", "Read Modes"},
                                                                {"SetMode", "Set Mode"},
                                                                {"Disconnect", "Close"},
                                                                {"Commit", "Commit"},
                                                                {"TextReset", "TextReset"},
                                                                {"RefreshAll", "Refresh"},
                                                                {"SaveToFile", "SaveToFile"},
                                                                {"Restart", "Restart Unit"},
                                                                {"Help", "Help"},
                                                                {"Exit", "Exit"},
                                                                {"Ok", "Ok"}};
        for (auto [name, caption] : captions)
            QCOMPARE(find<QPushButton>(name)->text(), QString::fromLatin1(caption));
        QCOMPARE(find<QLabel>("Label1")->text(), QStringLiteral("Unit IP Address:"));
        QCOMPARE(info(),
                 QStringLiteral("Please Enter the Unit IP Address and hit \"Read Modes\"."));
        QVERIFY(find<QLabel>("Info")->font().bold());
        expectNotRead();
        QVERIFY(find("IP")->hasFocus());
        QVERIFY(!find("Ok")->isVisible() && !find("Ok")->isEnabled());
        QVERIFY(!find("UserGuide")->isVisible() && !editor()->isVisible());
        // Tab order from the address box: the grid, then Read Modes.
        QCOMPARE(find("IP")->nextInFocusChain(), static_cast<QWidget*>(grid()));
    }

    void designSizeLayout() {
        openWindow();
        QCOMPARE(window().size(), QSize(653, 597));  // 9795 x 8955 twips
        auto px = [](int twips) { return ui::twipsToPixels(twips); };
        QCOMPARE(find("Info")->y(), px(7740));
        QCOMPARE(find("Info")->width(), px(9315));
        QCOMPARE(grid()->height(), px(5820));
        QCOMPARE(find("UserGuide")->height(), px(7035));
        QCOMPARE(find("Ok")->pos(), QPoint(px(4170), px(7980)));
        QCOMPARE(grid()->columnWidth(0), px(1807));
        QCOMPARE(grid()->columnWidth(1), px(3614));
        QCOMPARE(editor()->x(), px(5661));
        QCOMPARE(editor()->width(), px(3614));

        // Shorter than the grid's top: the status line stays inside the window.
        window().resize(653, 100);
        QTest::qWait(10);
        QWidget* status = find("Info");
        QVERIFY(status->y() > 0 && status->y() + status->height() <= 100);
        QCOMPARE(grid()->height(), 0);
        // Tiny: nothing negative.
        window().resize(10, 10);
        QTest::qWait(10);
        for (const char* name : {"Info", "Grid", "UserGuide", "Ok"}) {
            QVERIFY2(find(name)->width() >= 0 && find(name)->height() >= 0, name);
        }
        // Minimised: nothing moves.
        window().resize(653, 597);
        QTest::qWait(10);
        const QRect before = status->geometry();
        window().setWindowState(Qt::WindowMinimized);
        window().resize(300, 300);
        QTest::qWait(10);
        QCOMPARE(status->geometry(), before);
    }

    void readModesAndClose() {
        Unit unit("127.0.12.1");
        QVERIFY(unit.started());
        openWindow();
        readModes(unit);  // Enter in the address box
        QCOMPARE(window().modeCount(), 5);
        QCOMPARE(grid()->rowCount(), 5);
        QCOMPARE(cellText(0, 0), QStringLiteral("Mode "));
        QCOMPARE(cellText(0, 1), QStringLiteral(" Content "));
        QCOMPARE(cellText(0, 2), QStringLiteral(" New Content "));
        QCOMPARE(cellText(kServerType, 0), QStringLiteral("ServerType"));
        QCOMPARE(cellText(kServerType, 1), QStringLiteral("NOMINAL"));
        QCOMPARE(cellText(kServerType, 2), QString());
        QCOMPARE(info(), QString());
        expectRead();
        QVERIFY(!find("Commit")->isEnabled());
        QCOMPARE(unit.queries(), kForce + quoted({"", "*"}));
        shot("veltrin_read_modes.png");

        // The address cannot change while Read Modes is disabled.
        find<QLineEdit>("IP")->setText(QStringLiteral("10.9.9.9"));
        QCOMPARE(find<QLineEdit>("IP")->text(), unit.address());

        // Entering a row shows its help text.
        clickCell(kPosTimeout, 0);
        QCOMPARE(info(), QStringLiteral("Seconds a host answer stays shown"));
        QVERIFY(editor()->isVisible());
        QCOMPARE(editor()->y(), grid()->y() + grid()->viewport()->y() +
                                    grid()->visualRect(grid()->model()->index(1, 2)).y());

        click("Disconnect");
        expectNotRead();
        QVERIFY(find("IP")->hasFocus());
        QCOMPARE(grid()->rowCount(), 5);
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(cellText(0, column), QString());
            QCOMPARE(cellText(kUnitId, column), QString());
        }
        QVERIFY(!editor()->isVisible());
        QCOMPARE(unit.queries().size(), 5);  // Close talks to nobody

        click("Read");  // headers written again
        QCOMPARE(cellText(0, 1), QStringLiteral(" Content "));
        QCOMPARE(cellText(kUnitId, 0), QStringLiteral("UnitID"));
        expectRead();
    }

    void unreachableAddress() {
        openWindow();
        QTest::keyClicks(find<QLineEdit>("IP"), QStringLiteral("127.0.12.250"));
        QTest::keyClick(find<QLineEdit>("IP"), Qt::Key_Return);
        QCOMPARE(info(), QStringLiteral("Please enter a valid IP Address and try again."));
        expectNotRead();

        // After a good read, a failed one leaves the other buttons as they were.
        Unit unit("127.0.12.2");
        QVERIFY(unit.started());
        find<QLineEdit>("IP")->clear();
        readModes(unit);
        expectRead();
        click("Disconnect");
        find<QLineEdit>("IP")->setText(QStringLiteral("no.such.host.invalid"));
        click("Read");
        QCOMPARE(info(), QStringLiteral("Please enter a valid IP Address and try again."));
        expectNotRead();
    }

    void leaveStepTrimsAndIgnoresEmpty() {
        OPEN_ON_UNIT("127.0.12.3");
        clickCell(kPosTimeout, 1);
        QTest::keyClicks(editor(), QStringLiteral("  42  "));
        clickCell(kServerType, 0);  // leaving by a click
        QCOMPARE(cellText(kPosTimeout, 2), QStringLiteral("42"));
        QCOMPARE(state(kPosTimeout), RowState::Edited);
        QCOMPARE(window().rows()[kPosTimeout].newContent, QStringLiteral("42"));

        // Spaces only, or nothing: neither the row nor its state changes.
        QTest::keyClicks(editor(), QStringLiteral("   "));
        clickCell(kBacklight, 2);
        QCOMPARE(state(kServerType), RowState::Clean);
        QCOMPARE(cellText(kServerType, 2), QString());
        clickCell(kPosTimeout, 2);
        QCOMPARE(editor()->text(), QStringLiteral("42"));
        editor()->clear();
        clickCell(kUnitId, 2);
        QCOMPARE(cellText(kPosTimeout, 2), QStringLiteral("42"));
        QCOMPARE(state(kPosTimeout), RowState::Edited);
    }

    void editorEnterMoves() {
        OPEN_ON_UNIT("127.0.12.4");
        clickCell(kDateTime, 0);
        QTest::keyClicks(editor(), QStringLiteral("a"));
        QTest::keyClick(editor(), Qt::Key_Return);  // one row down, same column
        QCOMPARE(grid()->currentRow(), kBacklight - 1);
        QCOMPARE(grid()->currentColumn(), 0);
        QCOMPARE(cellText(kDateTime, 2), QStringLiteral("a"));
        QTest::keyClicks(editor(), QStringLiteral("b"));
        QTest::keyClick(editor(), Qt::Key_Return);  // last row: next column, row 1
        QCOMPARE(grid()->currentRow(), 0);
        QCOMPARE(grid()->currentColumn(), 1);
        QCOMPARE(cellText(kBacklight, 2), QStringLiteral("b"));
        QVERIFY(editor()->isVisible());

        clickCell(kBacklight, 2);
        QTest::keyClick(editor(), Qt::Key_Return);  // last row, last column: nothing
        QCOMPARE(grid()->currentRow(), kBacklight - 1);
        QCOMPARE(grid()->currentColumn(), 2);
    }

    // Keyboard only: after Read Modes the grid has the focus and no cell;
    // Down enters the first row. In the editor Up, Down, PageDown and
    // Ctrl+Home/End move the current cell and take the typed value along;
    // Escape undoes the typing; a header click closes the editor and keeps
    // the value.
    void keyboardMovesTheCurrentCell() {
        OPEN_ON_UNIT("127.0.12.21", {"--builtin"});
        QVERIFY(grid()->hasFocus());
        QVERIFY(!editor()->isVisible());
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->currentRow(), 0);
        QVERIFY(editor()->isVisible() && editor()->hasFocus());

        QTest::keyClicks(editor(), QStringLiteral("ABC"));
        QTest::keyClick(editor(), Qt::Key_Down);
        QCOMPARE(grid()->currentRow(), 1);
        QCOMPARE(cellText(1, 2), QStringLiteral("ABC"));
        QCOMPARE(state(1), RowState::Edited);
        QVERIFY(editor()->hasFocus());
        QTest::keyClick(editor(), Qt::Key_Up);
        QCOMPARE(grid()->currentRow(), 0);
        QCOMPARE(editor()->text(), QStringLiteral("ABC"));

        // PageDown: the editor goes with the current cell, in view.
        QTest::keyClick(editor(), Qt::Key_PageDown);
        const int row = grid()->currentRow();
        QVERIFY(row > 1);
        QVERIFY(editor()->isVisible());
        const QRect cell = grid()->visualRect(grid()->model()->index(row, 2));
        QVERIFY(grid()->viewport()->rect().contains(cell));
        QCOMPARE(editor()->y(), grid()->y() + grid()->viewport()->y() + cell.y());
        QTest::keyClick(editor(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid()->currentRow(), window().modeCount() - 1);
        QCOMPARE(grid()->currentColumn(), 2);
        QTest::keyClick(editor(), Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid()->currentRow(), 0);
        QCOMPARE(grid()->currentColumn(), 0);

        // Escape undoes the typing since the cell was entered.
        QTest::keyClicks(editor(), QStringLiteral("xyz"));
        QTest::keyClick(editor(), Qt::Key_Escape);
        QCOMPARE(editor()->text(), QStringLiteral("ABC"));
        QVERIFY(editor()->isVisible());

        // A header click closes the editor; what was typed is kept.
        QTest::keyClicks(editor(), QStringLiteral("D"));
        QHeaderView* header = grid()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cellText(1, 2), QStringLiteral("ABCD"));
        QVERIFY(grid()->hasFocus());
    }

    // Enter on a focused button presses it (the window has no default
    // button); Tab from the editor goes on to the buttons.
    void enterPressesTheFocusedButton() {
        OPEN_ON_UNIT("127.0.12.22");
        clickCell(kUnitId, 2);
        QVERIFY(editor()->hasFocus());
        QTest::keyClicks(editor(), QStringLiteral("KEY1"));
        QTest::keyClick(editor(), Qt::Key_Tab);
        QVERIFY(find("SetMode")->hasFocus());  // Read Modes is disabled
        // Set Mode takes the open value and keeps the focus where it is.
        QTest::keyClick(find("SetMode"), Qt::Key_Space);
        QCOMPARE(state(kUnitId), RowState::SetPending);
        QVERIFY(find("SetMode")->hasFocus());
        QTest::keyClick(find("SetMode"), Qt::Key_Tab);
        QVERIFY(find("Disconnect")->hasFocus());
        QTest::keyClick(find("Disconnect"), Qt::Key_Return);  // Close
        expectNotRead();
        QVERIFY(find("IP")->hasFocus());
        find("Help")->setFocus();
        QTest::keyClick(find("Help"), Qt::Key_Return);
        QVERIFY(find("UserGuide")->isVisible());
        find("Ok")->setFocus();
        QTest::keyClick(find("Ok"), Qt::Key_Return);
        QVERIFY(!find("UserGuide")->isVisible());
    }

    void scrollingTakesTheOpenValue() {
        OPEN_ON_UNIT("127.0.12.20", {"--builtin"});
        QVERIFY(window().modeCount() > 30);
        clickCell(1, 2);
        QTest::keyClicks(editor(), QStringLiteral("  X1 "));
        grid()->verticalScrollBar()->setValue(5);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cellText(1, 2), QStringLiteral("X1"));
        QCOMPARE(state(1), RowState::Edited);

        // Editor Enter below the visible rows scrolls, and the editor opens there.
        grid()->verticalScrollBar()->setValue(0);
        const int lastVisible = grid()->rowAt(grid()->viewport()->height() - 1) + 1;
        clickCell(lastVisible, 1);
        QTest::keyClick(editor(), Qt::Key_Return);
        QCOMPARE(grid()->currentRow(), lastVisible);  // grid row lastVisible + 1
        QVERIFY(editor()->isVisible());
        QVERIFY(grid()->viewport()->rect().contains(
            grid()->visualRect(grid()->model()->index(lastVisible, 2))));
        QCOMPARE(editor()->y(), grid()->y() + grid()->viewport()->y() +
                                    grid()->visualRect(grid()->model()->index(lastVisible, 2)).y());
    }

    void setModeOutcomes() {
        OPEN_ON_UNIT("127.0.12.5", {"--refuse", "ServerType"});
        const Unit& unit = *unit_;
        typeValue(kUnitId, QStringLiteral("UNIT0042"));
        typeValue(kServerType, QStringLiteral("TRIVIAL"));
        clickCell(kPosTimeout, 2);
        QTest::keyClicks(editor(), QStringLiteral("30"));  // still open in the editor
        changeOnUnit(unit, "POSTimeout", "20");
        const qsizetype mark = unit.queries().size();
        click("SetMode");

        QCOMPARE(unit.queriesAfter(mark),
                 kForce + quoted({"UnitID", "UnitID = UNIT0042", "UnitID", "POSTimeout",
                                  "ServerType", "ServerType = TRIVIAL", "ServerType"}));
        // Accepted: green with the value read back, Commit waits.
        QCOMPARE(cellBackground(kUnitId, 2), kGreen);
        QCOMPARE(cellText(kUnitId, 2), QStringLiteral("UNIT0042"));
        QCOMPARE(state(kUnitId), RowState::SetPending);
        // Changed on the unit: yellow, not sent, the typed value kept.
        QCOMPARE(cellBackground(kPosTimeout, 1), kYellow);
        QCOMPARE(cellText(kPosTimeout, 1), QStringLiteral("20"));
        QCOMPARE(cellBackground(kPosTimeout, 2), kBlue);
        QCOMPARE(cellText(kPosTimeout, 2), QStringLiteral("30"));
        QCOMPARE(state(kPosTimeout), RowState::Edited);
        // Refused: red, the typed text stays in the cell.
        QCOMPARE(cellBackground(kServerType, 1), kRed);
        QCOMPARE(cellText(kServerType, 2), QStringLiteral("TRIVIAL"));
        QCOMPARE(state(kServerType), RowState::SetFailed);
        QCOMPARE(buttonColour("SetMode"), kRed);
        QVERIFY(!find("Commit")->isEnabled());
        QVERIFY(!editor()->isVisible());
        QCOMPARE(editor()->text(), QString());
        shot("veltrin_set_mode.png");

        // Entering the refused row clears it; no refused row is left, so
        // Set Mode's colour goes back to neutral.
        clickCell(kServerType, 0);
        QCOMPARE(state(kServerType), RowState::Clean);
        QCOMPARE(cellText(kServerType, 2), QString());
        QCOMPARE(cellBackground(kServerType, 2), kWhite);
        QCOMPARE(buttonColour("SetMode"), face());

        // The second press sends the changed row, since the held value now matches.
        const qsizetype second = unit.queries().size();
        click("SetMode");
        QCOMPARE(unit.queriesAfter(second),
                 kForce + quoted({"POSTimeout", "POSTimeout = 30", "POSTimeout"}));
        QCOMPARE(buttonColour("SetMode"), kGreen);
        QVERIFY(find("Commit")->isEnabled());
        QCOMPARE(state(kPosTimeout), RowState::SetPending);
    }

    void driftingModeIsNeverSent() {
        OPEN_ON_UNIT("127.0.12.6", {"--drift", "Backlight"});
        const Unit& unit = *unit_;
        typeValue(kBacklight, QStringLiteral("5"));
        const qsizetype mark = unit.queries().size();
        click("SetMode");
        click("SetMode");
        for (const QString& q : unit.queriesAfter(mark))
            QVERIFY2(!q.contains(QStringLiteral(" = ")), qPrintable(q + " was sent"));
        QCOMPARE(buttonColour("SetMode"), kYellow);
        QCOMPARE(cellBackground(kBacklight, 1), kYellow);
        QCOMPARE(state(kBacklight), RowState::Edited);
    }

    void setModeWithNothingEdited() {
        OPEN_ON_UNIT("127.0.12.7");
        const Unit& unit = *unit_;
        const qsizetype mark = unit.queries().size();
        click("SetMode");
        QCOMPARE(unit.queriesAfter(mark), kForce);
        QCOMPARE(buttonColour("SetMode"), face());
        QVERIFY(!find("Commit")->isEnabled());
    }

    void commitAllMatching() {
        OPEN_ON_UNIT("127.0.12.8");
        const Unit& unit = *unit_;
        typeValue(kUnitId, QStringLiteral("UNIT0042"));
        typeValue(kBacklight, QStringLiteral("60"));
        click("SetMode");
        const qsizetype mark = unit.queries().size();
        click("Commit");
        QCOMPARE(unit.queriesAfter(mark),
                 kForce + quoted({"UnitID", "Backlight", "Commit = TRUE"}));
        QVERIFY(!find("Commit")->isEnabled());
        for (int row : {int(kUnitId), int(kBacklight)}) {
            QCOMPARE(cellBackground(row, 1), kGreen);
            QCOMPARE(cellText(row, 2), QString());
            QCOMPARE(state(row), RowState::Clean);
        }
        QCOMPARE(cellText(kBacklight, 1), QStringLiteral("60"));
    }

    void commitWithOneChangedOnTheUnit() {
        OPEN_ON_UNIT("127.0.12.9");
        const Unit& unit = *unit_;
        typeValue(kUnitId, QStringLiteral("UNIT0042"));
        typeValue(kBacklight, QStringLiteral("60"));
        click("SetMode");
        changeOnUnit(unit, "Backlight", "70");
        const qsizetype mark = unit.queries().size();
        click("Commit");
        QCOMPARE(unit.queriesAfter(mark), kForce + quoted({"UnitID", "Backlight"}));
        QCOMPARE(buttonColour("Commit"), kYellow);
        QVERIFY(find("Commit")->isEnabled());
        QCOMPARE(cellBackground(kBacklight, 1), kYellow);
        QCOMPARE(cellText(kBacklight, 1), QStringLiteral("70"));
        QCOMPARE(state(kBacklight), RowState::Edited);
        QCOMPARE(cellBackground(kUnitId, 1), kGreen);  // matched rows show as committed
        QCOMPARE(state(kUnitId), RowState::Clean);

        // The held value follows the cell, so one Set Mode sends the row again.
        const qsizetype again = unit.queries().size();
        click("SetMode");
        QCOMPARE(unit.queriesAfter(again),
                 kForce + quoted({"Backlight", "Backlight = 60", "Backlight"}));
        QCOMPARE(buttonColour("SetMode"), kGreen);
    }

    void refreshNeverMarksTheClock() {
        OPEN_ON_UNIT("127.0.12.10", {"--drift", "dateTime"});
        const Unit& unit = *unit_;
        changeOnUnit(unit, "Backlight", "70");
        typeValue(kPosTimeout, QStringLiteral("30"));
        const qsizetype mark = unit.queries().size();
        click("RefreshAll");
        QCOMPARE(unit.queriesAfter(mark),
                 kForce + quoted({"UnitID", "POSTimeout", "ServerType", "dateTime", "Backlight"}));
        QCOMPARE(cellBackground(kBacklight, 1), kYellow);
        QCOMPARE(cellText(kBacklight, 1), QStringLiteral("70"));
        QCOMPARE(cellBackground(kDateTime, 1), face());
        QCOMPARE(cellText(kDateTime, 1), QStringLiteral("2026-01-01 00:00:00"));
        QCOMPARE(buttonColour("RefreshAll"), kYellow);
        QVERIFY(find("RefreshAll")->isEnabled());
        // New Content and row states are not Refresh's business.
        QCOMPARE(cellText(kPosTimeout, 2), QStringLiteral("30"));
        QCOMPARE(state(kPosTimeout), RowState::Edited);
    }

    void restartUnit() {
        OPEN_ON_UNIT("127.0.12.11");
        const Unit& unit = *unit_;
        typeValue(kUnitId, QStringLiteral("UNIT0042"));
        click("SetMode");
        const qsizetype mark = unit.queries().size();
        click("Restart");
        QCOMPARE(unit.queriesAfter(mark, 11),
                 kForce + quoted({"", "*", "UnitID", "POSTimeout", "ServerType", "dateTime",
                                  "Backlight", "RESTART=TRUE"}));
        expectNotRead();
        QVERIFY(find("IP")->hasFocus());
        QCOMPARE(cellText(kUnitId, 0), QStringLiteral("UnitID"));
        QCOMPARE(cellText(kUnitId, 1), QString());
        QCOMPARE(cellText(kUnitId, 2), QString());
        QCOMPARE(state(kUnitId), RowState::Clean);
        QCOMPARE(buttonColour("SetMode"), face());
    }

    void missingLibrary() {
        const std::string empty = support::makeTempDir("veltrin_nolib");
        veltrin::LumetraBinding missing(QStringLiteral("NoSuchLumetra"),
                                        {QString::fromStdString(empty)});
        openWindow(&missing);
        QTest::keyClicks(find<QLineEdit>("IP"), QStringLiteral("127.0.12.12"));
        QTest::keyClick(find<QLineEdit>("IP"), Qt::Key_Return);
        QVERIFY2(info().startsWith(QStringLiteral("Cannot load the NoSuchLumetra library")),
                 qPrintable(info()));
        QVERIFY(info().contains(QString::fromStdString(empty)));
        expectNotRead();
        click("Help");
        click("Ok");
        click("Exit");
        QVERIFY(!window().isVisible());
    }

    void missingExport() {
        veltrin::LumetraBinding partial(QStringLiteral("veltrin_partial_lumetra"),
                                        {QStringLiteral(SHOTS_DIR)});
        openWindow(&partial);
        find<QLineEdit>("IP")->setText(QStringLiteral("127.0.12.13"));
        click("Read");
        QVERIFY2(info().contains(QStringLiteral("has no function uxOpen")), qPrintable(info()));
        expectNotRead();
    }
    void helpViewGivesEveryStateBack() {
        Unit unit("127.0.12.14");
        QVERIFY(unit.started());
        openWindow();
        openAndCloseHelp(false);  // not read
        openAndCloseHelp(true);
        readModes(unit);
        typeValue(kUnitId, QStringLiteral("UNIT0042"));
        click("SetMode");  // Commit enabled as well
        QVERIFY(find("Commit")->isEnabled());
        openAndCloseHelp(true);
        openAndCloseHelp(true);
        openAndCloseHelp(false);
    }

    void helpTextShown() {
        openWindow();
        window().loadHelp(QStringLiteral(SHOTS_DIR));
        auto* guide = find<QTextEdit>("UserGuide");
        QVERIFY(guide->toPlainText().startsWith(QStringLiteral("Veltrin 3.4 User Guide")));
        QVERIFY(guide->toPlainText().contains(QStringLiteral("Read Modes")));
        click("Help");
        QVERIFY(find("Ok")->geometry().center().x() - window().width() / 2 <= 1);
        shot("veltrin_help.png");
        click("Ok");

        // No help file: the pane stays empty and nothing is said.
        openWindow();
        window().loadHelp(QString::fromStdString(support::makeTempDir("veltrin_nohelp")));
        QVERIFY(find<QTextEdit>("UserGuide")->toPlainText().isEmpty());
        QCOMPARE(info(),
                 QStringLiteral("Please Enter the Unit IP Address and hit \"Read Modes\"."));
    }

    void textResetChangesNothingInTheWindow() {
        OPEN_ON_UNIT("127.0.12.15");
        const Unit& unit = *unit_;
        typeValue(kPosTimeout, QStringLiteral("30"));
        clickCell(kUnitId, 0);
        const QList<bool> states = enabledStates();
        const QString status = info();
        const QImage before = grid()->grab().toImage();
        const qsizetype mark = unit.queries().size();
        click("TextReset");
        QCOMPARE(unit.queriesAfter(mark), kForce + quoted({"", "*", "TextReset = TRUE"}));
        QCOMPARE(enabledStates(), states);
        QCOMPARE(info(), status);
        QCOMPARE(grid()->grab().toImage(), before);
        QCOMPARE(state(kPosTimeout), RowState::Edited);
    }

    void textResetToAnUnreachableUnit() {
        auto unit = std::make_unique<Unit>("127.0.12.16");
        QVERIFY(unit->started());
        openWindow();
        readModes(*unit);
        clickCell(kUnitId, 0);
        const QString shown = info();
        const QList<bool> states = enabledStates();
        unit.reset();  // the unit goes away
        click("TextReset");
        QCOMPARE(info(), shown);
        QCOMPARE(enabledStates(), states);
        QCOMPARE(window().modeCount(), 0);  // the row loops cover no rows now
        const std::string dir = support::makeTempDir("veltrin_report");
        saveAs(QString::fromStdString(dir + "/empty.TXT"));
        QCOMPARE(support::readFile(dir + "/empty.TXT"), std::string("Mode\t\t\tContent\r\n\r\n"));
    }

    void reportByteForByte() {
        OPEN_ON_UNIT("127.0.12.18");
        const Unit& unit = *unit_;
        changeOnUnit(unit, "ServerType", "caf\xe9");  // an 8-bit byte
        click("RefreshAll");
        QCOMPARE(cellBackground(kServerType, 1), kYellow);
        typeValue(kBacklight, QStringLiteral("99"));  // New Content is not written
        const std::string dir = support::makeTempDir("veltrin_report");
        const QString path = QString::fromStdString(dir + "/modes.TXT");
        saveAs(path);
        const std::string expected =
            "Mode\t\t\tContent\r\n\r\n"
            "UnitID      = UNIT0001\r\n"
            "POSTimeout  = 10\r\n"
            "ServerType  = caf\xe9\r\n"
            "dateTime    = 2026-01-01 00:00:00\r\n"
            "Backlight   = 80\r\n";
        QCOMPARE(support::readFile(path.toStdString()), expected);
        // The equals sign in column n + 3 for a longest name of n characters.
        QCOMPARE(expected.find("= UNIT0001") - expected.find("UnitID") + 1,
                 std::string("POSTimeout").size() + 3);

        // Cancel writes nothing; declining to overwrite (the dialog's
        // question) is a cancel too and keeps the file.
        support::writeFile(path.toStdString(), "kept");
        saveAs(QString());
        QCOMPARE(support::readFile(path.toStdString()), std::string("kept"));
        QVERIFY(!QFile::exists(QString::fromStdString(dir + "/other.TXT")));
    }

    void saveDialogAsksBeforeReplacing() {
        openWindow();
        const std::string dir = support::makeTempDir("veltrin_dialog");
        const QString existing = QString::fromStdString(dir + "/modes.TXT");
        support::writeFile(existing.toStdString(), "kept");
        QStringList filters;
        QString suffix;
        bool asked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            filters = dialog->nameFilters();
            suffix = dialog->defaultSuffix();
            // The question comes while the dialog takes the name; it is declined.
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr)
                    return;
                asked = true;
                box->button(QMessageBox::No)->click();
            });
            dialog->selectFile(existing);
            QMetaObject::invokeMethod(dialog, "accept");
            dialog->reject();  // still open after the refusal: cancel
        });
        QCOMPARE(veltrin::MainWindow::askSaveFile(&window()), QString());
        QCOMPARE(filters, QStringList({"Text files (*.TXT)", "All files (*.*)"}));
        QCOMPARE(suffix, QStringLiteral("TXT"));
        QVERIFY(asked);
        QCOMPARE(support::readFile(existing.toStdString()), std::string("kept"));
    }

    void reportFailureBox() {
        OPEN_ON_UNIT("127.0.12.19");
        const QString path = QStringLiteral("/nonexistent-folder/modes.TXT");
        QString title, text;
        QMessageBox::StandardButtons buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            QTest::keyClick(box, Qt::Key_Return);
        });
        saveAs(path);
        QCOMPARE(title, QStringLiteral("Veltrin"));
        QCOMPARE(text, QStringLiteral("Unkown error while saving file ") + path);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!QFile::exists(path));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
