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

    unitsim::Unit& startUnit(int host) {
        unitsim::Options options;
        options.address = address(host);
        options.modes = modes();
        unit_ = std::make_unique<unitsim::Unit>(options);
        std::string error;
        EXPECT_TRUE(unit_->start(&error)) << error;
        return *unit_;
    }

    // Veltrin.exe in a folder of its own with `library` beside it (empty:
    // none) and the help file; started and waited for.
    void startVeltrin(const std::string& library = "Lumetra.dll") {
        fs::copy_file(windowsBin() + "/Veltrin.exe", dir_ + "/Veltrin.exe");
        fs::copy_file(windowsBin() + "/VeltrinHelp.rtf", dir_ + "/VeltrinHelp.rtf");
        if (!library.empty())
            fs::copy_file(library.front() == '/' ? library : windowsBin() + "/" + library,
                          dir_ + "/Lumetra.dll");
        veltrin_ = std::make_unique<support::Background>(
            std::vector<std::string>{WINE_LOADER, dir_ + "/Veltrin.exe"}, dir_);
        ASSERT_TRUE(display_->findWindow(kTitle, 120s)) << "no Veltrin window";
        ASSERT_TRUE(waitFor([&] { return peek().count(kIp) != 0; }, 60s));
    }

    // What window_peek.exe sees of the window titled `title`.
    std::map<int, Control> peek(const std::string& title = kTitle) {
        support::RunResult r = wine("window_peek.exe", {title});
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
    EXPECT_EQ(set.at(setMode.left + 4, setMode.y()), (Pixel{0, 255, 0}));
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

}  // namespace
}  // namespace windows_test
