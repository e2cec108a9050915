// SPDX-License-Identifier: Apache-2.0
// Veltrin.exe under Wine on a display of its own, driven with xdotool against
// simulated units on 127.0.23.x: the queries each click sends, the exact
// colours of cells and buttons in a screenshot, the saved report, the help
// pane, and the status line when the unit or the library is missing.
// window_peek.exe reads the controls' texts, states and places.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/windows/wine.h"
#include "tests/windows/x_display.h"
#include "unitsim/unit.h"

namespace windows_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char kTitle[] = "Veltrin 3.4";

// Control ids of the Win32 view: 100 + the control's place in this list.
enum Id {
    kLabel1 = 100,
    kIp,
    kRead,
    kSetMode,
    kDisconnect,
    kCommit,
    kTextReset,
    kRefreshAll,
    kSaveToFile,
    kRestart,
    kHelp,
    kExit,
    kGrid,
    kUserGuide,
    kInfo,
    kOk,
    kText1,
};

struct Control {
    bool enabled = false;
    bool visible = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    std::string text;
    int x() const { return (left + right) / 2; }
    int y() const { return (top + bottom) / 2; }
};

std::vector<unitsim::ModeDef> modes() {
    return {
        {"UnitID", "STRING", 16, "Name the unit reports", "UNIT0001", false},
        {"POSTimeout", "INTEGER", 0, "Seconds an answer stays", "10", false},
        {"ServerType", "STRING", 8, "Host message form", "NOMINAL", false},
        {"Backlight", "INTEGER", 0, "Display backlight", "80", false},
    };
}

std::string address(int host) {
    return "127.0.23." + std::to_string(host);
}

class VeltrinUnderWine : public WineTest {
  protected:
    void SetUp() override {
        WineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        display_ = std::make_unique<XDisplay>();
        ASSERT_TRUE(display_->started()) << display_->why();
        dir_ = support::makeTempDir("wine_veltrin");
        shots_ = SHOTS_DIR;
    }
    void TearDown() override {
        if (veltrin_)
            veltrin_->stop();
    }

    unitsim::Unit& startUnit(int host, std::vector<unitsim::ModeDef> table = modes()) {
        unitsim::Options options;
        options.address = address(host);
        options.modes = std::move(table);
        unit_ = std::make_unique<unitsim::Unit>(options);
        std::string error;
        EXPECT_TRUE(unit_->start(error)) << error;
        return *unit_;
    }

    // Veltrin.exe in a folder of its own with `library` beside it (empty:
    // none) and the help file; started and waited for. With `byKeyboard`
    // the window is given the keyboard without a click.
    void startVeltrin(const std::string& library = "Lumetra.dll", bool byKeyboard = false) {
        fs::copy_file(windowsBin() + "/Veltrin.exe", dir_ + "/Veltrin.exe");
        fs::copy_file(windowsBin() + "/VeltrinHelp.rtf", dir_ + "/VeltrinHelp.rtf");
        if (!library.empty())
            fs::copy_file(library.front() == '/' ? library : windowsBin() + "/" + library,
                          dir_ + "/Lumetra.dll");
        veltrin_ = std::make_unique<support::Background>(
            own_ != nullptr ? own_->command(dir_ + "/Veltrin.exe")
                            : std::vector<std::string>{WINE_LOADER, dir_ + "/Veltrin.exe"},
            dir_);
        const auto window = display_->findWindow(kTitle, 120s);
        ASSERT_TRUE(window) << "no Veltrin window";
        ASSERT_TRUE(waitFor([&] { return peek().count(kIp) != 0; }, 60s));
        // The address box has the focus; the window gets the keyboard.
        if (byKeyboard)
            display_->focus(*window);
        else
            click(kIp);
    }

    // What window_peek.exe sees of the window titled `title`.
    std::map<int, Control> peek(const std::string& title = kTitle) {
        std::string program = "Z:" + dir_ + "/Veltrin.exe";
        std::replace(program.begin(), program.end(), '/', '\\');
        support::RunOptions options;
        options.timeout = 60s;
        support::RunResult r =
            own_ != nullptr
                ? support::run(own_->command(windowsBin() + "/window_peek.exe", {title, program}),
                               options)
                : wine("window_peek.exe", {title, program});
        std::map<int, Control> out;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::istringstream fields(line);
            std::string first;
            fields >> first;
            Control c;
            std::string className;
            if (first == "window") {
                fields >> c.left >> c.top >> c.right >> c.bottom;
                out[0] = c;
                continue;
            }
            fields >> className >> c.enabled >> c.visible >> c.left >> c.top >> c.right >> c.bottom;
            std::getline(fields, c.text);
            if (!c.text.empty() && c.text.front() == ' ')
                c.text.erase(0, 1);
            out[std::atoi(first.c_str())] = c;
        }
        return out;
    }
    Control control(int id) { return peek()[id]; }

    // Types `text` (UTF-8) into the focused edit box `id` until it shows
    // it: xdotool types a character the keyboard map lacks by remapping a
    // key, and Wine may read the new map late, so a character can be lost;
    // each try empties the box first (bounded: three tries).
    bool typeInto(int id, const std::string& text) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            for (const char* key : {"End", "shift+Home", "BackSpace"}) display_->key(key);
            for (std::size_t i = 0; i < text.size();) {
                std::size_t length = 1;
                const auto lead = static_cast<unsigned char>(text[i]);
                if (lead >= 0xF0)
                    length = 4;
                else if (lead >= 0xE0)
                    length = 3;
                else if (lead >= 0xC0)
                    length = 2;
                display_->type(text.substr(i, length));
                std::this_thread::sleep_for(300ms);
                i += length;
            }
            if (waitFor([&] { return control(id).text == text; }, 5s))
                return true;
        }
        return false;
    }

    template <typename Condition>
    bool waitFor(Condition condition, std::chrono::milliseconds timeout = 60s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (condition())
                return true;
            std::this_thread::sleep_for(200ms);
        }
        return condition();
    }

    void click(int id) {
        Control c = control(id);
        display_->click(c.x(), c.y());
    }
    // Waits until the status line says `text`.
    bool statusIs(const std::string& text) {
        return waitFor([&] { return control(kInfo).text == text; });
    }

    std::vector<std::string> queries() {
        std::vector<std::string> out;
        for (const std::string& line : unit_->journal()) {
            if (line.rfind("recv MDSQ ", 0) == 0)
                out.push_back(line.substr(10));
        }
        return out;
    }
    // Waits until the unit has received `count` queries.
    std::vector<std::string> queriesWhenThere(std::size_t count) {
        waitFor([&] { return queries().size() >= count; }, 30s);
        return queries();
    }

    std::unique_ptr<XDisplay> display_;
    OwnPrefix* own_ = nullptr;  // set before startVeltrin: the window runs there
    std::unique_ptr<unitsim::Unit> unit_;
    std::unique_ptr<support::Background> veltrin_;
    std::string dir_;
    std::string shots_;
};

std::vector<std::string> quoted(std::initializer_list<const char*> texts) {
    std::vector<std::string> out;
    for (const char* t : texts) out.push_back("\"" + std::string(t) + "\"");
    return out;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kForce =
    quoted({"ForceResponse=TRUE", "ForceError=TRUE", "ForceHelpText=TRUE"});

TEST_F(VeltrinUnderWine, ReadSetCommitSaveAndHelpAsTheLinuxWindowDoes) {
    startUnit(20);
    startVeltrin();
    // Typed into the address box, which has the focus, then Enter.
    display_->type(address(20));
    display_->key("Return");
    // Close is enabled at the end of a successful read.
    ASSERT_TRUE(waitFor([&] { return control(kDisconnect).enabled; }))
        << "Read Modes did not read: " << control(kInfo).text;
    EXPECT_EQ(queriesWhenThere(5), kForce + quoted({"", "*"}));
    std::map<int, Control> shown = peek();
    EXPECT_FALSE(shown[kIp].enabled);
    EXPECT_FALSE(shown[kRead].enabled);
    EXPECT_TRUE(shown[kSetMode].enabled && shown[kRefreshAll].enabled);
    EXPECT_FALSE(shown[kCommit].enabled);

    // A click in the grid's first row opens the editor over its New Content
    // cell and shows the row's help text.
    Control grid = shown[kGrid];
    const Control header = grid;  // the header is about one text line high
    display_->click(grid.left + 30, header.top + 32);
    ASSERT_TRUE(waitFor([&] { return control(kText1).visible; })) << "no editor";
    Control editor = control(kText1);
    const std::string help = control(kInfo).text;
    int row = 0;
    for (std::size_t i = 0; i < modes().size(); ++i)
        if (modes()[i].help == help)
            row = static_cast<int>(i) + 1;
    ASSERT_GT(row, 0) << "status line: " << help;
    const int rowHeight = editor.bottom - editor.top;
    auto rowY = [&](int r) { return editor.top + (r - row) * rowHeight + rowHeight / 2; };
    Screenshot entered = display_->shoot(shots_ + "/veltrin_wine_editor.png");
    ASSERT_TRUE(entered.valid());
    // Right of where the caret and text are drawn.
    EXPECT_EQ(entered.at(editor.right - 4, editor.y()), (Pixel{0, 0, 255}));

    // UnitID's New Content: typed, Enter moves on, Set Mode sends it.
    display_->click(editor.x(), rowY(1));
    ASSERT_TRUE(waitFor([&] { return control(kInfo).text == modes()[0].help; }));
    display_->type("Wine9");
    display_->key("Return");
    click(kSetMode);
    ASSERT_TRUE(waitFor([&] { return control(kCommit).enabled; })) << "Set Mode did not set";
    EXPECT_EQ(queriesWhenThere(11),
              kForce + quoted({"", "*"}) + kForce + quoted({"UnitID", "UnitID = Wine9", "UnitID"}));
    Screenshot set = display_->shoot(shots_ + "/veltrin_wine_set_mode.png");
    ASSERT_TRUE(set.valid());
    Control setMode = control(kSetMode);
    // Inside the focus frame (4 pixels in): Set Mode keeps the focus after a click.
    EXPECT_EQ(set.at(setMode.left + 8, setMode.y()), (Pixel{0, 255, 0}));
    EXPECT_EQ(set.at(editor.left + 3, rowY(1)), (Pixel{0, 255, 0}));  // New Content green

    click(kCommit);
    ASSERT_TRUE(waitFor([&] { return !control(kCommit).enabled; })) << "Commit did not run";
    EXPECT_EQ(queriesWhenThere(16), kForce + quoted({"", "*"}) + kForce +
                                        quoted({"UnitID", "UnitID = Wine9", "UnitID"}) + kForce +
                                        quoted({"UnitID", "Commit = TRUE"}));
    EXPECT_EQ(unit_->value("UnitID"), "Wine9");
    Screenshot committed = display_->shoot(shots_ + "/veltrin_wine_commit.png");
    ASSERT_TRUE(committed.valid());
    // Content green, New Content white again.
    const int contentX = grid.left + (editor.left - grid.left) / 2 + 20;
    EXPECT_EQ(committed.at(contentX, rowY(1) - rowHeight / 4), (Pixel{0, 255, 0}));
    EXPECT_EQ(committed.at(editor.left + 3, rowY(1) - rowHeight / 4), (Pixel{255, 255, 255}));

    // SaveToFile: a name typed in the save dialog (the whole path, as the
    // dialog starts in the folder it last saw); the dialog adds the extension.
    click(kSaveToFile);
    ASSERT_TRUE(display_->findWindow("Save As", 60s)) << "no save dialog";
    std::string typed = "Z:" + dir_ + "/modes";
    std::replace(typed.begin(), typed.end(), '/', '\\');
    display_->type(typed);
    display_->key("Return");
    std::string report;
    ASSERT_TRUE(waitFor([&] {
        for (const auto& entry : fs::directory_iterator(dir_)) {
            std::string name = entry.path().filename().string();
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            if (name == "modes.txt" && entry.file_size() > 60)
                report = entry.path().string();
        }
        return !report.empty();
    })) << "no report written";
    EXPECT_EQ(support::readFile(report),
              "Mode\t\t\tContent\r\n\r\n"
              "UnitID      = Wine9\r\n"
              "POSTimeout  = 10\r\n"
              "ServerType  = NOMINAL\r\n"
              "Backlight   = 80\r\n");

    // Help shows the help file; Ok gives every state back.
    const std::map<int, Control> before = peek();
    click(kHelp);
    ASSERT_TRUE(waitFor([&] { return control(kUserGuide).visible; }));
    Control guide = control(kUserGuide);
    EXPECT_EQ(guide.text.rfind("Veltrin 3.4 User Guide", 0), 0u) << guide.text.substr(0, 80);
    EXPECT_FALSE(control(kGrid).visible);
    display_->shoot(shots_ + "/veltrin_wine_help.png");
    click(kOk);
    ASSERT_TRUE(waitFor([&] { return !control(kUserGuide).visible; }));
    std::map<int, Control> after = peek();
    for (int id : {kSetMode, kCommit, kRestart, kDisconnect, kRead, kTextReset, kSaveToFile, kIp,
                   kRefreshAll, kHelp, kExit}) {
        EXPECT_EQ(after[id].enabled, before.at(id).enabled) << id;
    }
    EXPECT_EQ(queries().size(), 16u);  // save, help and Ok talk to nobody
}

TEST_F(VeltrinUnderWine, UnreachableUnitStatusTexts) {
    startVeltrin();
    EXPECT_EQ(control(kInfo).text, "Please Enter the Unit IP Address and hit \"Read Modes\".");
    display_->type(address(250));  // nothing listens there
    display_->key("Return");
    EXPECT_TRUE(statusIs("Please enter a valid IP Address and try again.")) << control(kInfo).text;
    std::map<int, Control> shown = peek();
    EXPECT_TRUE(shown[kRead].enabled && shown[kIp].enabled);
    EXPECT_FALSE(shown[kSetMode].enabled);
    display_->shoot(shots_ + "/veltrin_wine_unreachable.png");
}

TEST_F(VeltrinUnderWine, MissingLibraryIsNamedInTheStatusLine) {
    startVeltrin("");
    display_->type(address(21));
    display_->key("Return");
    EXPECT_TRUE(waitFor([&] {
        return control(kInfo).text.rfind("Cannot load the Lumetra library", 0) == 0;
    })) << control(kInfo).text;
    EXPECT_NE(control(kInfo).text.find("Lumetra.dll"), std::string::npos);
    // Still working: Help and Ok, then Exit ends the program.
    click(kHelp);
    EXPECT_TRUE(waitFor([&] { return control(kOk).visible; }));
    click(kOk);
    click(kExit);
    EXPECT_TRUE(waitFor([&] { return !veltrin_->running(); }, 60s));
}

TEST_F(VeltrinUnderWine, LibraryWithoutAnExportIsNamedInTheStatusLine) {
    // Lumetra.dll with its uxSetMode export renamed (same length, so the
    // export table stays sorted and valid).
    std::string dll = support::readFile(windowsBin() + "/Lumetra.dll");
    const std::string name("uxSetMode\0", 10);
    const std::size_t at = dll.find(name);
    ASSERT_NE(at, std::string::npos);
    dll.replace(at, name.size(), std::string("uxSetModX\0", 10));
    const std::string partial = support::makeTempDir("wine_partial") + "/Lumetra.dll";
    support::writeFile(partial, dll);

    startUnit(22);
    startVeltrin(partial);
    display_->type(address(22));
    display_->key("Return");
    ASSERT_TRUE(waitFor([&] { return control(kTextReset).enabled; })) << control(kInfo).text;
    click(kTextReset);  // the one operation of the read state that calls uxSetMode
    EXPECT_TRUE(waitFor([&] {
        return control(kInfo).text.find("has no function uxSetMode") != std::string::npos;
    })) << control(kInfo).text;
    EXPECT_TRUE(control(kDisconnect).enabled);  // the window goes on
}

// A whole session without a mouse: the address typed, Tab to Read Modes and
// Space; the grid takes the arrows, the editor opens on the current cell
// and takes a value, Enter moves on, Tab goes on to Set Mode and Space sets
// the value: the unit's journal shows the set and the cell turns pure green.
// PageDown then moves the editor with the current cell.
TEST_F(VeltrinUnderWine, KeyboardOnly) {
    std::vector<unitsim::ModeDef> table = modes();
    for (int i = 1; i <= 40; ++i) {
        const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
        table.push_back({"Extra" + n, "STRING", 8, "Extra mode " + n, "x" + n, false});
    }
    startUnit(24, table);
    startVeltrin("Lumetra.dll", true);
    display_->type(address(24));
    display_->key("Tab");  // the grid: nothing to enter before a read
    display_->key("Tab");  // the editor is hidden: Read Modes
    display_->key("space");
    ASSERT_TRUE(waitFor([&] { return control(kDisconnect).enabled; }))
        << "Read Modes did not read: " << control(kInfo).text;

    // The grid has the focus and no current cell: Down enters UnitID, the
    // editor's Down moves on to ServerType, a STRING mode.
    display_->key("Down");
    ASSERT_TRUE(waitFor([&] { return control(kText1).visible; })) << "no editor";
    EXPECT_EQ(control(kInfo).text, "Name the unit reports");
    display_->key("Down");
    display_->key("Down");
    ASSERT_TRUE(waitFor([&] { return control(kInfo).text == "Host message form"; }))
        << control(kInfo).text;
    const Control editor = control(kText1);
    display_->type("KEYS");
    display_->key("Return");  // taken, and on to the next row
    ASSERT_TRUE(waitFor([&] { return control(kInfo).text == "Display backlight"; }));
    display_->key("Tab");  // Read Modes is disabled: Set Mode
    display_->key("space");
    ASSERT_TRUE(waitFor([&] { return control(kCommit).enabled; })) << "Set Mode did not set";
    const std::vector<std::string> sent = queriesWhenThere(11);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "\"ServerType = KEYS\""), sent.end());
    EXPECT_EQ(unit_->value("ServerType"), "KEYS");
    Screenshot set = display_->shoot(shots_ + "/veltrin_wine_keyboard_set.png");
    ASSERT_TRUE(set.valid());
    EXPECT_EQ(set.at(editor.left + 3, editor.top + 2), (Pixel{0, 255, 0}));

    // Back into the grid with Shift+Tab (Set Mode, Read Modes disabled, the
    // hidden editor), then PageDown: the current cell and the editor go a
    // page down together, inside the grid.
    display_->key("shift+Tab");
    display_->key("Down");
    ASSERT_TRUE(waitFor([&] { return control(kText1).visible; }));
    const std::string before = control(kInfo).text;
    display_->key("Next");
    ASSERT_TRUE(waitFor([&] {
        const std::string now = control(kInfo).text;
        return now != before && now.rfind("Extra mode ", 0) == 0;
    })) << control(kInfo).text;
    const std::map<int, Control> paged = peek();
    const Control& moved = paged.at(kText1);
    const Control& grid = paged.at(kGrid);
    EXPECT_TRUE(moved.visible);
    EXPECT_GT(moved.top, grid.top);
    EXPECT_LT(moved.bottom, grid.bottom);
    display_->shoot(shots_ + "/veltrin_wine_keyboard_page_down.png");

    // Enter on the focused Exit ends the program.
    display_->key("Tab");  // the editor: on to Set Mode
    for (const char* key : {"Tab", "Tab", "Tab", "Tab"}) display_->key(key);  // .. Exit
    display_->key("Return");
    EXPECT_TRUE(waitFor([&] { return !veltrin_->running(); }, 60s));
}

// The texts of a unit in the system code page: shown widened (the status
// line holds the mode's help text), the report byte for byte in that code
// page, and a value typed in the editor reaches the unit as the code page's
// bytes. Wine takes its code page from the locale.
struct CodePage {
    const char* codePage;    // Windows' number for it
    const char* locale;      // localedef input
    const char* charmap;     // localedef charmap
    const char* held;        // the unit's bytes in that code page
    const char* heldShown;   // the same as UTF-8
    const char* typed;       // typed in the editor, UTF-8
    const char* typedBytes;  // what the unit must receive
};

class VeltrinCodePage : public VeltrinUnderWine, public ::testing::WithParamInterface<CodePage> {};

TEST_P(VeltrinCodePage, TextsRoundTripThroughGridReportAndSet) {
    const CodePage& page = GetParam();
    const std::string locales = dir_ + "/locales";
    OwnPrefix prefix;
    std::string error;
    ASSERT_TRUE(prefix.make(dir_ + "/wine", error)) << error;
    if (page.charmap == std::string("UTF-8")) {
        // The machine's own C.UTF-8: Wine takes it as English, code page 1252.
        prefix.setEnvironment({"LC_ALL=C.UTF-8"});
    } else {
        const std::string name = std::string(page.locale) + "." + page.charmap;
        if (!makeLocale(locales, page.locale, page.charmap, name))
            GTEST_SKIP() << "the system cannot make the locale " << name;
        prefix.setEnvironment({"LOCPATH=" + locales, "LC_ALL=" + name});
    }
    own_ = &prefix;

    std::vector<unitsim::ModeDef> table = modes();
    table.insert(table.begin(),
                 {"Motto", "STRING", 16, std::string("Says ") + page.held, page.held, false});
    startUnit(30, table);
    startVeltrin("Lumetra.dll", true);
    display_->type(address(30));
    display_->key("Return");
    ASSERT_TRUE(waitFor([&] { return control(kDisconnect).enabled; }))
        << "Read Modes did not read: " << control(kInfo).text;
    display_->key("Down");  // Motto
    ASSERT_TRUE(waitFor([&] { return control(kText1).visible; })) << "no editor";
    EXPECT_EQ(control(kInfo).text, std::string("Says ") + page.heldShown);
    EXPECT_TRUE(typeInto(kText1, page.typed)) << control(kText1).text;
    display_->key("Return");
    display_->key("Tab");  // Set Mode
    display_->key("space");
    ASSERT_TRUE(waitFor([&] { return control(kCommit).enabled; }))
        << "Set Mode did not set: "
        << (display_->shoot(shots_ + "/veltrin_wine_cp" + page.codePage + "_failed.png"),
            control(kInfo).text);
    EXPECT_EQ(unit_->value("Motto"), page.typedBytes);

    // The report: the Content column as shown, in the code page's bytes.
    for (const char* key : {"Tab", "Tab", "Tab", "Tab", "Tab", "Tab"}) display_->key(key);
    display_->key("Return");  // SaveToFile
    // The save dialog, titled in the locale's language.
    ASSERT_TRUE(display_->findOtherWindow(kTitle, 60s)) << "no save dialog";
    std::this_thread::sleep_for(1s);
    std::string typed = "Z:" + dir_ + "/report";
    std::replace(typed.begin(), typed.end(), '/', '\\');
    display_->type(typed);
    display_->key("Return");
    std::string report;
    ASSERT_TRUE(waitFor([&] {
        for (const auto& entry : fs::directory_iterator(dir_)) {
            std::string file = entry.path().filename().string();
            std::transform(file.begin(), file.end(), file.begin(), ::tolower);
            if (file == "report.txt" && entry.file_size() > 60)
                report = entry.path().string();
        }
        return !report.empty();
    })) << "no report written";
    EXPECT_EQ(support::readFile(report), std::string("Mode\t\t\tContent\r\n\r\n") +
                                             "Motto       = " + page.held + "\r\n" +
                                             "UnitID      = UNIT0001\r\n"
                                             "POSTimeout  = 10\r\n"
                                             "ServerType  = NOMINAL\r\n"
                                             "Backlight   = 80\r\n");
    display_->shoot(shots_ + "/veltrin_wine_cp" + page.codePage + ".png");
    veltrin_->stop();
}

// cp1252 holds the euro sign and e acute, cp1251 the euro sign and the
// Cyrillic letters; the typed value differs from the unit's, so the value
// sent is the typed one. (xdotool cannot type an e acute into Wine, so the
// cp1252 case types the euro sign only.)
INSTANTIATE_TEST_SUITE_P(
    CodePages, VeltrinCodePage,
    ::testing::Values(CodePage{"1252", "C", "UTF-8", "\xe9\x80", "\xc3\xa9\xe2\x82\xac",
                               "A\xe2\x82\xac", "A\x80"},
                      CodePage{"1251", "ru_RU", "CP1251", "\xc6\x88", "\xd0\x96\xe2\x82\xac",
                               "\xe2\x82\xac\xd0\x96", "\x88\xc6"}),
    [](const ::testing::TestParamInfo<CodePage>& info) {
        return "Cp" + std::string(info.param.codePage);
    });

}  // namespace
}  // namespace windows_test
