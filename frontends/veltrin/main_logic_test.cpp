// SPDX-License-Identifier: Apache-2.0
// The window logic without a toolkit: a recording view shows what the logic
// asked for, and a recording library holds a unit's table and logs each
// call, so every operation's sequence of library calls, states, colours and
// texts is checked here.
#include "frontends/veltrin/main_logic.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/support/process.h"

namespace veltrin {
namespace {

using enum Control;

struct Mode {
    std::string name;
    std::string help;
    std::string value;  // NVRam and current, until changed
};

class RecordingLibrary : public Library {
  public:
    std::vector<Mode> modes = {{"UnitID", "Unit name", "U1"},
                               {"POSTimeout", "Seconds", "10"},
                               {"dateTime", "Clock", "noon"},
                               {"Backlight", "Percent", "80"}};
    std::map<std::string, std::string> current;  // a mode changed on the unit
    std::set<std::string> refused;
    bool reachable = true;
    short errorCode = 1;
    std::vector<std::string> calls;
    std::string problem;

    short open(const std::string& address) override {
        calls.push_back("uxOpen " + address);
        next_ = 0;
        return reachable ? short(modes.size()) : 0;
    }
    short reOpen(const std::string& address) override {
        calls.push_back("ReOpen " + address);
        return reachable;
    }
    void close() override { calls.push_back("uxClose"); }
    short lastError() override {
        calls.push_back("uxGetLastError");
        return errorCode;
    }
    std::string firstModeName() override {
        calls.push_back("GetFirstModeName");
        next_ = 1;
        return modes[0].name;
    }
    std::string nextModeName() override {
        calls.push_back("GetNextModeName");
        return next_ < modes.size() ? modes[next_++].name : "";
    }
    std::string modeType(const std::string& name) override { return log("GetModeType", name); }
    std::string modeHelp(const std::string& name) override {
        log("GetModeHelp", name);
        return find(name).help;
    }
    short modeSize(const std::string& name) override {
        log("GetModeSize", name);
        return 8;
    }
    std::string nvRamMode(const std::string& name) override {
        log("GetNVRamMode", name);
        return find(name).value;
    }
    std::string mode(const std::string& name) override {
        log("GetMode", name);
        auto it = current.find(name);
        return it != current.end() ? it->second : find(name).value;
    }
    bool setMode(const std::string& name, const std::string& value) override {
        calls.push_back("uxSetMode " + name + " " + value);
        if (refused.count(name) != 0)
            return false;
        current[name] = value;
        return true;
    }
    void commit() override { calls.push_back("uxCommit"); }
    void restart() override { calls.push_back("uxRestart"); }
    std::string takeProblem() override { return std::exchange(problem, ""); }

    // The calls since the last look.
    std::vector<std::string> take() { return std::exchange(calls, {}); }

  private:
    std::string log(const char* fn, const std::string& name) {
        calls.push_back(std::string(fn) + " " + name);
        return {};
    }
    const Mode& find(const std::string& name) {
        for (const Mode& m : modes)
            if (m.name == name)
                return m;
        static const Mode none;
        return none;
    }
    std::size_t next_ = 0;
};

class RecordingView : public View {
  public:
    std::map<Control, bool> shown;
    std::map<Control, ui::Colour> colours;
    std::string status;
    std::string address;
    Control focus = Label1;
    bool busy = false;
    bool busyWasShown = false;
    int rowCount = 0;
    std::string editor;
    bool editorShown = false;
    int editorRow = 0;
    std::optional<SaveChoice> answer;
    std::vector<std::string> messages;
    bool quitted = false;
    Layout layout;

    void enableControl(Control, bool) override {}
    void showControl(Control control, bool on) override { shown[control] = on; }
    void giveFocus(Control control) override { focus = control; }
    void setButtonColour(Control button, const ui::Colour& colour) override {
        colours[button] = colour;
    }
    void setStatus(const std::string& text) override { status = text; }
    void setAddress(const std::string& text) override { address = text; }
    void setBusy(bool on) override {
        busy = on;
        busyWasShown = busyWasShown || on;
    }
    void setRowCount(int modes) override { rowCount = modes; }
    void setCell(int, int, const Cell&) override {}
    void clearGrid() override {}
    void showCurrentCell(int, int) override {}
    void placeEditor(int row, int, const std::string& text, bool) override {
        editor = text;
        editorShown = true;
        editorRow = row;
    }
    void hideEditor() override { editorShown = false; }
    std::string editorText() override { return editor; }
    void setEditorText(const std::string& text) override { editor = text; }
    void applyLayout(const Layout& l) override { layout = l; }
    std::optional<SaveChoice> askReportFile() override { return answer; }
    void showMessage(const std::string& title, const std::string& text) override {
        messages.push_back(title + ": " + text);
    }
    void quit() override { quitted = true; }
};

class LogicTest : public testing::Test {
  protected:
    void SetUp() override {
        logic.start();
        logic.resized(9795, 8955);
    }
    void read(const std::string& address = "10.0.0.5") {
        logic.addressChanged(address);
        logic.readModes();
    }
    // Enters the row's New Content cell, types, and leaves it by Enter.
    void type(int row, const std::string& text) {
        logic.cellChanged(row, 2);
        view.editor = text;
        logic.editorEnter();
    }
    void expectEnabled(std::initializer_list<Control> on, std::initializer_list<Control> off) {
        for (Control c : on) EXPECT_TRUE(logic.enabled(c)) << int(c);
        for (Control c : off) EXPECT_FALSE(logic.enabled(c)) << int(c);
    }
    void expectNotRead() {
        expectEnabled({IP, Read, Help, Exit},
                      {SetMode, Disconnect, Commit, TextReset, RefreshAll, SaveToFile, Restart});
    }

    RecordingLibrary library;
    RecordingView view;
    MainLogic logic{library, view};
};

using Calls = std::vector<std::string>;

TEST_F(LogicTest, StartUpShowsThePromptWithOnlyReadHelpAndExit) {
    EXPECT_EQ(view.status, kPrompt);
    expectNotRead();
    EXPECT_FALSE(logic.enabled(Ok));
    EXPECT_FALSE(view.shown[Ok]);
    EXPECT_FALSE(view.shown[UserGuide]);
    EXPECT_EQ(view.focus, IP);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(view.layout.columns[0], 1807);
}

TEST_F(LogicTest, ReadModesCallsAndFillsTheGrid) {
    read();
    EXPECT_EQ(library.take(), (Calls{"uxOpen 10.0.0.5",         "GetFirstModeName",
                                     "GetNextModeName",         "GetNextModeName",
                                     "GetNextModeName",         "GetModeType UnitID",
                                     "GetModeHelp UnitID",      "GetModeSize UnitID",
                                     "GetNVRamMode UnitID",     "GetModeType POSTimeout",
                                     "GetModeHelp POSTimeout",  "GetModeSize POSTimeout",
                                     "GetNVRamMode POSTimeout", "GetModeType dateTime",
                                     "GetModeHelp dateTime",    "GetModeSize dateTime",
                                     "GetNVRamMode dateTime",   "GetModeType Backlight",
                                     "GetModeHelp Backlight",   "GetModeSize Backlight",
                                     "GetNVRamMode Backlight",  "uxClose"}));
    EXPECT_EQ(logic.modeCount(), 4);
    EXPECT_EQ(view.rowCount, 4);
    EXPECT_TRUE(view.busyWasShown);
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(view.status, "");
    expectEnabled({SetMode, Disconnect, TextReset, RefreshAll, SaveToFile, Restart, Help, Exit},
                  {IP, Read, Commit});
    const std::string headers[] = {"Mode ", " Content ", " New Content "};
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(logic.cell(0, column).text, headers[column]);
        EXPECT_TRUE(logic.cell(0, column).bold);
    }
    EXPECT_EQ(logic.cell(2, 0).text, "POSTimeout");
    EXPECT_TRUE(logic.cell(2, 0).bold);
    EXPECT_EQ(logic.cell(2, 1).text, "10");
    EXPECT_EQ(logic.cell(2, 1).background, ui::kButtonFace);
    EXPECT_EQ(logic.cell(2, 2).background, ui::kWhite);
    // The address is held while Read Modes is disabled.
    logic.addressChanged("10.9.9.9");
    EXPECT_EQ(view.address, "10.0.0.5");
}

TEST_F(LogicTest, FailedReadStatusByErrorCode) {
    struct Case {
        short code;
        const char* status;
    } cases[] = {{1, kBadAddress}, {0, kConnecting}, {7, kConnecting}};
    for (const Case& c : cases) {
        library.reachable = false;
        library.errorCode = c.code;
        read("no.such.unit");
        EXPECT_EQ(view.status, c.status) << c.code;
        EXPECT_EQ(library.take(), (Calls{"uxOpen no.such.unit", "uxGetLastError"}));
        expectNotRead();
        EXPECT_FALSE(view.busy);
    }
}

TEST_F(LogicTest, EachOperationsLibraryCalls) {
    read();
    type(1, "U2");
    library.take();
    struct Case {
        const char* name;
        void (MainLogic::*operation)();
        Calls calls;
    } cases[] = {
        {"Set Mode",
         &MainLogic::setMode,
         {"ReOpen 10.0.0.5", "GetMode UnitID", "uxSetMode UnitID U2", "GetMode UnitID", "uxClose"}},
        {"Commit",
         &MainLogic::commit,
         {"ReOpen 10.0.0.5", "GetMode UnitID", "uxCommit", "uxClose"}},
        {"Refresh",
         &MainLogic::refreshAll,
         {"ReOpen 10.0.0.5", "GetMode UnitID", "GetMode POSTimeout", "GetMode dateTime",
          "GetMode Backlight", "uxClose"}},
        {"TextReset",
         &MainLogic::textReset,
         {"uxOpen 10.0.0.5", "uxSetMode TextReset TRUE", "uxClose"}},
        {"Help", &MainLogic::showHelp, {}},
        {"Ok", &MainLogic::closeHelp, {}},
        {"Restart Unit",
         &MainLogic::restartUnit,
         {"uxOpen 10.0.0.5", "GetMode UnitID", "GetMode POSTimeout", "GetMode dateTime",
          "GetMode Backlight", "uxRestart", "uxClose"}},
        {"Close", &MainLogic::disconnect, {}},
        {"Exit", &MainLogic::exitProgram, {}},
    };
    for (const Case& c : cases) {
        (logic.*c.operation)();
        EXPECT_EQ(library.take(), c.calls) << c.name;
    }
    EXPECT_TRUE(view.quitted);
}

TEST_F(LogicTest, SetModeOutcomesColourRowsAndTheButton) {
    library.refused = {"Backlight"};
    read();
    type(1, "U2");            // accepted
    type(2, "30");            // changed on the unit meanwhile
    type(4, "5");             // refused
    logic.cellChanged(3, 2);  // leaves row 4 by a click
    library.current["POSTimeout"] = "20";
    logic.setMode();

    struct Expect {
        int row;
        RowState state;
        ui::Colour content;
        ui::Colour newBackground;
        const char* newText;
    } rows[] = {
        {1, RowState::SetPending, ui::kButtonFace, ui::kGreen, "U2"},
        {2, RowState::Edited, ui::kYellow, ui::kBlue, "30"},
        {3, RowState::Clean, ui::kButtonFace, ui::kWhite, ""},
        {4, RowState::SetFailed, ui::kRed, ui::kWhite, "5"},
    };
    for (const Expect& e : rows) {
        EXPECT_EQ(logic.rows()[e.row].state, e.state) << e.row;
        EXPECT_EQ(logic.cell(e.row, 1).background, e.content) << e.row;
        EXPECT_EQ(logic.cell(e.row, 2).background, e.newBackground) << e.row;
        EXPECT_EQ(logic.cell(e.row, 2).text, e.newText) << e.row;
    }
    EXPECT_EQ(logic.cell(2, 1).text, "20");
    EXPECT_EQ(logic.cell(2, 2).foreground, ui::kWhite);
    EXPECT_EQ(view.colours[SetMode], ui::kRed);
    EXPECT_FALSE(logic.enabled(Commit));
    EXPECT_FALSE(view.editorShown);
    EXPECT_EQ(view.editor, "");

    // Entering the refused row cleans it and Set Mode turns neutral.
    logic.cellChanged(4, 0);
    EXPECT_EQ(logic.rows()[4].state, RowState::Clean);
    EXPECT_EQ(view.colours[SetMode], ui::kButtonFace);
    EXPECT_EQ(view.status, "Percent");
}

TEST(SetModeSignalTable, RedBeforeYellowBeforeGreen) {
    struct Case {
        bool failed, changed, set;
        ui::Colour colour;
    } cases[] = {{true, true, true, ui::kRed},
                 {false, true, true, ui::kYellow},
                 {false, false, true, ui::kGreen},
                 {false, false, false, ui::kButtonFace}};
    for (const Case& c : cases)
        EXPECT_EQ(signalColour(setModeSignal(c.failed, c.changed, c.set)), c.colour);
}

TEST_F(LogicTest, SetModeTakesTheValueStillInTheEditor) {
    read();
    logic.cellChanged(2, 1);
    view.editor = "  42 ";
    logic.setMode();
    EXPECT_EQ(logic.rows()[2].state, RowState::SetPending);
    EXPECT_EQ(library.current["POSTimeout"], "42");
    EXPECT_EQ(view.colours[SetMode], ui::kGreen);
    EXPECT_TRUE(logic.enabled(Commit));
}

TEST_F(LogicTest, CommitWithOneChangedOnTheUnit) {
    read();
    type(1, "U2");
    type(4, "60");
    logic.setMode();
    library.current["Backlight"] = "70";
    library.take();
    logic.commit();
    EXPECT_EQ(library.take(),
              (Calls{"ReOpen 10.0.0.5", "GetMode UnitID", "GetMode Backlight", "uxClose"}));
    EXPECT_EQ(logic.cell(1, 1).background, ui::kGreen);
    EXPECT_EQ(logic.cell(1, 2).text, "");
    EXPECT_EQ(logic.rows()[1].state, RowState::Clean);
    EXPECT_EQ(logic.cell(4, 1).text, "70");
    EXPECT_EQ(logic.cell(4, 1).background, ui::kYellow);
    EXPECT_EQ(logic.rows()[4].state, RowState::Edited);
    EXPECT_EQ(view.colours[Commit], ui::kYellow);
    EXPECT_TRUE(logic.enabled(Commit));
    // One Set Mode sends the row again.
    library.take();
    logic.setMode();
    EXPECT_EQ(library.take(), (Calls{"ReOpen 10.0.0.5", "GetMode Backlight",
                                     "uxSetMode Backlight 60", "GetMode Backlight", "uxClose"}));
}

TEST_F(LogicTest, RefreshMarksChangesButNeverTheClock) {
    read();
    library.current = {{"Backlight", "70"}, {"dateTime", "later"}};
    logic.refreshAll();
    EXPECT_EQ(logic.cell(4, 1).background, ui::kYellow);
    EXPECT_EQ(logic.cell(4, 1).text, "70");
    EXPECT_EQ(logic.cell(3, 1).background, ui::kButtonFace);
    EXPECT_EQ(logic.cell(3, 1).text, "noon");
    EXPECT_EQ(view.colours[RefreshAll], ui::kYellow);
    EXPECT_TRUE(logic.enabled(RefreshAll));
}

TEST_F(LogicTest, CloseAndRestartReturnToNotRead) {
    for (void (MainLogic::*operation)() : {&MainLogic::disconnect, &MainLogic::restartUnit}) {
        read();
        type(1, "U2");
        (logic.*operation)();
        expectNotRead();
        EXPECT_EQ(view.focus, IP);
        EXPECT_EQ(logic.rows()[1].state, RowState::Clean);
        EXPECT_EQ(logic.cell(1, 1).text, "");
        EXPECT_EQ(logic.cell(1, 2).text, "");
        EXPECT_FALSE(view.editorShown);
        logic.addressChanged("10.0.0.5");  // editable again
    }
    // Close also empties the names and headers; Restart keeps the names.
    EXPECT_EQ(logic.cell(1, 0).text, "UnitID");
    logic.disconnect();
    EXPECT_EQ(logic.cell(1, 0).text, "");
    EXPECT_EQ(logic.cell(0, 1).text, "");
    EXPECT_EQ(logic.gridRows(), 5);
}

TEST_F(LogicTest, EditorEnterMovesDownThenToTheNextColumn) {
    read();
    struct Case {
        int row, column;
        int toRow, toColumn;
    } cases[] = {{2, 0, 3, 0}, {4, 0, 1, 1}, {4, 1, 1, 2}, {4, 2, 4, 2}};
    for (const Case& c : cases) {
        logic.cellChanged(c.row, c.column);
        logic.editorEnter();
        EXPECT_EQ(logic.currentRow(), c.toRow) << c.row << "," << c.column;
        EXPECT_EQ(logic.currentColumn(), c.toColumn) << c.row << "," << c.column;
    }
}

TEST_F(LogicTest, EscapeUndoesTheTypingSinceTheCellWasEntered) {
    read();
    type(2, "first");
    logic.cellChanged(2, 1);  // the editor opens on row 2's New Content
    EXPECT_EQ(view.editor, "first");
    view.editor = "first and more";
    logic.editorEscape();
    EXPECT_EQ(view.editor, "first");
    EXPECT_TRUE(view.editorShown);
    EXPECT_EQ(logic.rows()[2].newContent, "first");
}

TEST_F(LogicTest, AHeaderClickKeepsTheTypedValueAndClosesTheEditor) {
    read();
    logic.cellChanged(3, 2);
    view.editor = "  typed ";
    logic.headerClicked();
    EXPECT_FALSE(view.editorShown);
    EXPECT_EQ(logic.cell(3, 2).text, "typed");
    EXPECT_EQ(logic.rows()[3].state, RowState::Edited);
    EXPECT_EQ(logic.currentRow(), 3);
}

TEST_F(LogicTest, KeysMoveFromTheLogicsCurrentCell) {
    read();
    EXPECT_EQ(logic.cellAfterKey(GridKey::Down, 2), (CellPos{1, 0}));  // no cell yet
    logic.cellChanged(2, 1);
    EXPECT_EQ(logic.cellAfterKey(GridKey::Down, 2), (CellPos{3, 1}));
    EXPECT_EQ(logic.cellAfterKey(GridKey::LastCell, 2), (CellPos{logic.gridRows() - 1, 2}));
}

TEST_F(LogicTest, HelpViewGivesEveryStateBackEvenWhenPressedTwice) {
    read();
    type(1, "U2");
    logic.setMode();
    std::vector<bool> before;
    for (int c = 0; c < kControlCount; ++c) before.push_back(logic.enabled(Control(c)));
    logic.showHelp();
    logic.showHelp();
    expectEnabled({Ok, Help, Exit, RefreshAll},
                  {SetMode, Commit, Restart, Disconnect, Read, Label1, TextReset, SaveToFile, IP});
    EXPECT_TRUE(view.shown[UserGuide]);
    EXPECT_FALSE(view.shown[Grid]);
    logic.closeHelp();
    for (int c = 0; c < kControlCount; ++c) {
        if (Control(c) != Ok) {
            EXPECT_EQ(logic.enabled(Control(c)), before[std::size_t(c)]) << c;
        }
    }
    EXPECT_FALSE(logic.enabled(Ok));
    EXPECT_TRUE(view.shown[Grid]);
}

TEST_F(LogicTest, ReportOfTheContentColumnAsShown) {
    read();
    library.current = {{"Backlight", "caf\xe9"}};
    logic.refreshAll();
    type(2, "99");  // New Content is not written
    const std::string dir = support::makeTempDir("veltrin_logic_report");
    view.answer = SaveChoice{dir + "/r.TXT", dir + "/r.TXT"};
    logic.saveToFile();
    EXPECT_EQ(support::readFile(dir + "/r.TXT"),
              "Mode\t\t\tContent\r\n\r\n"
              "UnitID      = U1\r\n"
              "POSTimeout  = 10\r\n"
              "dateTime    = noon\r\n"
              "Backlight   = caf\xe9\r\n");
    view.answer = SaveChoice{dir + "/no/such/r.TXT", "r.TXT"};
    logic.saveToFile();
    EXPECT_EQ(view.messages,
              (std::vector<std::string>{"Veltrin: " + std::string(kSaveError) + "r.TXT"}));
}

TEST_F(LogicTest, AFailedSaveDialogIsTheErrorBoxNotACancel) {
    read();
    const std::string dir = support::makeTempDir("veltrin_logic_dialog");
    view.answer = SaveChoice{dir + "/never.TXT", "C:\\too\\long", true};
    logic.saveToFile();
    EXPECT_EQ(view.messages,
              (std::vector<std::string>{"Veltrin: " + std::string(kSaveError) + "C:\\too\\long"}));
    EXPECT_FALSE(std::filesystem::exists(dir + "/never.TXT"));
}

TEST_F(LogicTest, TextResetToAnUnreachableUnitLeavesTheWindowButEmptiesTheLoops) {
    read();
    logic.cellChanged(1, 0);
    const std::string status = view.status;
    library.reachable = false;
    logic.textReset();
    EXPECT_EQ(view.status, status);
    EXPECT_EQ(logic.modeCount(), 0);
    library.take();
    logic.refreshAll();
    EXPECT_EQ(library.take(), (Calls{"ReOpen 10.0.0.5", "uxClose"}));
}

TEST_F(LogicTest, LibraryProblemsGoToTheStatusLine) {
    library.reachable = false;
    library.problem = "Lumetra.dll has no function uxOpen.";
    read();
    EXPECT_EQ(view.status, "Lumetra.dll has no function uxOpen.");
    expectNotRead();
}

}  // namespace
}  // namespace veltrin
