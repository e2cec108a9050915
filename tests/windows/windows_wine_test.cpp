// SPDX-License-Identifier: Apache-2.0
// The cross-built Windows files: what Lumetra.dll exports, what every file
// imports, and the programs under Wine against simulated units on
// 127.0.16.x, compared with the Linux build where both should agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "tests/windows/lumetra_exports.h"
#include "tests/windows/wine.h"
#include "unitsim/unit.h"

namespace windows_test {
namespace {

using namespace std::chrono_literals;

std::vector<unitsim::ModeDef> modes() {
    return {
        {"UnitID", "STRING", 16, "Name of the unit", "Wistrel1", false},
        {"UnitStatus", "STRING", 32, "State", "Ready and waiting", true},
        {"POSTimeout", "INTEGER", 0, "Seconds", "30", false},
        {"TextReset", "STRING", 40, "Idle text", "Hello", false},
        {"ServerType", "STRING", 8, "Host protocol", "TCP", false},
        {"ProductName", "STRING", 20, "Product", "Unit 9000", true},
    };
}

std::string address(int host) {
    return "127.0.16." + std::to_string(host);
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// `objdump -p` of a cross-built file.
std::string objdump(const std::string& file) {
    support::RunResult r = support::run({MINGW_OBJDUMP, "-p", windowsBin() + "/" + file});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

// The names of the export table ("[Ordinal/Name Pointer] Table" lines).
std::vector<std::string> exportedNames(const std::string& dump) {
    std::vector<std::string> names;
    std::istringstream lines(dump.substr(std::min(dump.size(), dump.find("Name Pointer] Table"))));
    std::string line;
    std::getline(lines, line);
    std::regex entry(R"(^\s*\[\s*\d+\]\s+(\S+)\s*$)");
    std::smatch m;
    while (std::getline(lines, line) && std::regex_match(line, m, entry)) names.push_back(m[1]);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WindowsFiles, DllExportsExactlyTheTwentyFourFunctionsByName) {
    if (windowsBin().empty())
        GTEST_SKIP() << "not run: no Windows build given";
    std::vector<std::string> expected(std::begin(kLumetraExports), std::end(kLumetraExports));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(exportedNames(objdump("Lumetra.dll")), expected);
}

TEST(WindowsFiles, ImportOnlySystemDllsAndLumetra) {
    if (windowsBin().empty())
        GTEST_SKIP() << "not run: no Windows build given";
    // The windows add the system's window, drawing, common-control and
    // common-dialog libraries.
    const std::set<std::string> system = {"KERNEL32.dll", "msvcrt.dll",  "WS2_32.dll",
                                          "OLEAUT32.dll", "USER32.dll",  "GDI32.dll",
                                          "COMCTL32.dll", "comdlg32.dll"};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(windowsBin())) {
        std::string name = entry.path().filename().string();
        if (!name.ends_with(".exe") && !name.ends_with(".dll"))
            continue;
        ++files;
        std::regex dll(R"(DLL Name: (\S+))");
        std::string dump = objdump(name);
        for (std::sregex_iterator it(dump.begin(), dump.end(), dll), end; it != end; ++it) {
            std::string import = (*it)[1];
            bool allowed = system.count(import) != 0 || (import == "Lumetra.dll" && name != import);
            EXPECT_TRUE(allowed) << name << " imports " << import;
        }
    }
    EXPECT_GE(files, 5);
}

class UnderWine : public WineTest {
  protected:
    unitsim::Unit& startUnit(int host) {
        unitsim::Options options;
        options.address = address(host);
        options.modes = modes();
        units_.push_back(std::make_unique<unitsim::Unit>(options));
        std::string error;
        EXPECT_TRUE(units_.back()->start(error)) << error;
        return *units_.back();
    }

    // The same Tarnix command run by the Windows build against unit
    // `windowsHost` and by the Linux build against unit `linuxHost`, each in
    // a folder of its own with `ini` as Tarnix.ini; the Linux output with
    // its unit's address replaced by the other's.
    std::pair<support::RunResult, support::RunResult> bothTarnix(int windowsHost, int linuxHost,
                                                                 std::vector<std::string> args,
                                                                 const std::string& ini) {
        support::RunOptions onWindows, onLinux;
        onWindows.workingDirectory = support::makeTempDir("wine_tarnix");
        onLinux.workingDirectory = support::makeTempDir("linux_tarnix");
        support::writeFile(onWindows.workingDirectory + "/Tarnix.ini", ini);
        support::writeFile(onLinux.workingDirectory + "/Tarnix.ini", ini);
        std::vector<std::string> windowsArgs = args, linuxArgs = args;
        windowsArgs.push_back(address(windowsHost));
        linuxArgs.push_back(address(linuxHost));
        support::RunResult windows = wine("Tarnix.exe", windowsArgs, onWindows);
        linuxArgs.insert(linuxArgs.begin(), TARNIX_BIN);
        support::RunResult linux = support::run(linuxArgs, onLinux);
        windows.out = unixLineEnds(windows.out);
        windows.err = unixLineEnds(windows.err);
        linux.out = replaceAll(linux.out, address(linuxHost), address(windowsHost));
        linux.err = replaceAll(linux.err, address(linuxHost), address(windowsHost));
        return {windows, linux};
    }

    std::vector<std::unique_ptr<unitsim::Unit>> units_;
};

TEST_F(UnderWine, DllClientLoadsLumetraAndReadsTheUnit) {
    startUnit(1);
    support::RunResult r = wine("lumetra_dll_client.exe", {address(1), address(99)});
    std::string out = unixLineEnds(r.out);
    EXPECT_EQ(r.status, 0) << out << r.err;
    EXPECT_NE(out.find("exports found: 24\n"), std::string::npos) << out;
    EXPECT_NE(out.find("failed checks: 0\n"), std::string::npos) << out;
    EXPECT_EQ(units_[0]->value("UnitID"), "Wine");
}

// The exports the reading run leaves out, each called once; the unit's
// journal shows what each one sent, in order.
TEST_F(UnderWine, DllClientCallsEveryOtherExport) {
    unitsim::Unit& unit = startUnit(9);
    const std::string dir = support::makeTempDir("wine_pushes");
    support::writeFile(dir + "/push.bin", "GIF89a-wine");
    support::RunResult r =
        wine("lumetra_dll_client.exe", {"--pushes", address(9), "Z:" + dir + "/push.bin"});
    std::string out = unixLineEnds(r.out);
    EXPECT_EQ(r.status, 0) << out << r.err;
    EXPECT_NE(out.find("failed checks: 0\n"), std::string::npos) << out;
    const std::vector<std::string> expected = {
        "recv MDSQ \"*\"",                              // uxOpen
        "recv DATA TEXT \"Hello from Wine\"",           // SendDisplayText
        "recv DATA SPEC \"Printed on Wine\"",           // SendSpecialText
        "recv DATA FILE GIF_ 11 bytes",                 // SendImageToDisplay
        "recv DATA FILE FILE \"wine.txt\" 11 bytes",    // SendFile
        "recv RGST",                                    // SendRegistration
        "recv MDSQ \"Commit = TRUE\"",                  // uxCommit
        "send MODR \"POSTimeout = 25\"",                // SendTarnix
        "recv MDSQ \"ForceHelpText=TRUE\"",             // ReOpen
        "recv TERM",                                    // SendTerminate
        "recv DATA FILE FILE \"pushed.txt\" 11 bytes",  // Push
        "recv DATA FILE FILE \"setscanner2\"",          // Fennick
        "recv MDSQ \"ForceHelpText=TRUE\"",             // ReOpen
        "recv MDSQ \"RESTART=TRUE\"",                   // uxRestart
    };
    std::vector<std::string> journal = unit.journal();
    std::string all;
    for (const std::string& line : journal) all += line + "\n";
    std::size_t next = 0;
    for (const std::string& line : journal) {
        if (next < expected.size() && line.rfind(expected[next], 0) == 0)
            ++next;
    }
    EXPECT_EQ(next, expected.size())
        << "missing from the journal, in order: " << (next < expected.size() ? expected[next] : "")
        << "\n"
        << all;
}

TEST_F(UnderWine, DllGivesUpOnASilentUnit) {
    unitsim::Unit& unit = startUnit(8);
    unitsim::Faults faults;
    faults.silent = true;
    unit.setFaults(faults);
    support::RunResult r = wine("lumetra_dll_client.exe", {"--silent", address(8)});
    std::string out = unixLineEnds(r.out);
    EXPECT_EQ(r.status, 0) << out << r.err;
    EXPECT_NE(out.find("failed checks: 0\n"), std::string::npos) << out;
}

TEST_F(UnderWine, TarnixListsAsOnLinux) {
    startUnit(2);
    startUnit(3);
    auto [windows, linux] = bothTarnix(2, 3, {}, "");
    EXPECT_EQ(windows.status, 0) << windows.err;
    EXPECT_EQ(linux.status, 0) << linux.err;
    EXPECT_NE(windows.out.find("Wistrel1"), std::string::npos) << windows.out;
    EXPECT_EQ(windows.out, linux.out);
    EXPECT_EQ(windows.err, linux.err);
}

TEST_F(UnderWine, TarnixSetsFromIniAsOnLinux) {
    unitsim::Unit& onWindows = startUnit(4);
    unitsim::Unit& onLinux = startUnit(5);
    // Written by a Windows editor: CR LF line ends.
    std::string ini =
        "UnitID = Wine42\r\nPOSTimeout = 20\r\nTextReset = Good day\r\n"
        "ServerType = (Not Set)\r\n";
    auto [windows, linux] = bothTarnix(4, 5, {"-s", "-v"}, ini);
    EXPECT_EQ(windows.status, 0) << windows.err;
    EXPECT_EQ(windows.out, linux.out);
    EXPECT_EQ(windows.err, linux.err);
    for (const char* mode : {"UnitID", "POSTimeout", "TextReset", "ServerType"}) {
        EXPECT_EQ(onWindows.value(mode), onLinux.value(mode)) << mode;
    }
    EXPECT_EQ(onWindows.value("POSTimeout"), "20");
}

TEST_F(UnderWine, ProbePrintsTheStatusAsOnLinux) {
    startUnit(6);
    support::RunResult windows = wine("probe.exe", {address(6)});
    support::RunResult linux = support::run({PROBE_BIN, address(6)});
    EXPECT_EQ(windows.status, 0) << windows.err;
    EXPECT_NE(windows.out.find("Ready and waiting"), std::string::npos) << windows.out;
    EXPECT_EQ(unixLineEnds(windows.out), linux.out);
}

TEST_F(UnderWine, ProbeReportsAUnitThatIsNotListening) {
    support::RunResult r = wine("probe.exe", {address(98)});
    EXPECT_EQ(r.status, 1);
    std::regex expected(
        "Error connecting to 127\\.0\\.16\\.98 at [A-Z][a-z]{2} [A-Z][a-z]{2} "
        "[ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\n");
    EXPECT_TRUE(std::regex_match(unixLineEnds(r.out), expected)) << r.out;
}

TEST_F(UnderWine, DroskNumbersItsAnswers) {
    startUnit(7);
    support::Background drosk(wineCommand("Drosk.exe", {"-D1", address(7)}));
    bool second = drosk.waitForOutput("1: ", 60s);
    std::string out = unixLineEnds(drosk.stop().out);
    ASSERT_TRUE(second) << out;
    EXPECT_EQ(out.rfind("Delay in seconds: 1\n0: ", 0), 0u) << out;
    // The unit ends its answer line with CR LF: one answer a line.
    EXPECT_NE(out.find("Ready and waiting\r\n1: "), std::string::npos) << out;
}

}  // namespace
}  // namespace windows_test
