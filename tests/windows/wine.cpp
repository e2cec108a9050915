// SPDX-License-Identifier: Apache-2.0
#include "tests/windows/wine.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace windows_test {

using namespace std::chrono_literals;

std::string windowsBin() {
    return WINDOWS_BIN;
}

std::vector<std::string> wineCommand(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), {WINE_LOADER, windowsBin() + "/" + program});
    return args;
}

support::RunResult wine(const std::string& program, std::vector<std::string> args,
                        support::RunOptions options) {
    // A loaded machine makes Wine slow to start; the programs themselves are quick.
    if (options.timeout < 60000ms)
        options.timeout = 60000ms;
    return support::run(wineCommand(program, std::move(args)), options);
}

std::string unixLineEnds(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

namespace {

namespace fs = std::filesystem;

// Empty when Wine runs a Windows program with `prefix`, else why not.
std::string wineStartFailure(const std::string& prefix) {
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    if (std::string(WINE_LOADER).find("NOTFOUND") != std::string::npos) {
        return "no Wine loader (wine64) found; install wine64";
    }
    // probe with no arguments prints its usage and ends with status 0.
    support::RunResult r = wine("probe.exe", {});
    if (r.status == 0 && r.err.find("probe IPAddress") != std::string::npos)
        return {};
    return "Wine could not run probe.exe (status " + std::to_string(r.status) +
           (r.timedOut ? ", timed out" : "") + "): " + r.out + r.err;
}

// A copy of the shared prefix made of hard links (it is hundreds of
// megabytes of DLLs that Wine only reads), with real copies of the registry
// files, which Wine rewrites.
std::string copyPrefix(const std::string& folder) {
    // cp keeps the prefix's drive links (z: is the root folder) as links.
    // A Wine program of another test may write a temporary registry file
    // into the shared prefix meanwhile, which vanishes under cp: try again
    // (three times at most) on a fresh copy.
    support::RunResult r;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        r = support::run({"/bin/cp", "-a", "--link", WINE_PREFIX, folder});
        if (r.status == 0)
            break;
        std::this_thread::sleep_for(500ms);
    }
    if (r.status != 0)
        return "cannot copy the Wine prefix: " + r.err;
    std::error_code error;
    for (const char* reg : {"system.reg", "user.reg", "userdef.reg"}) {
        fs::path copy = fs::path(folder) / reg;
        if (!fs::exists(copy))
            continue;
        fs::remove(copy, error);
        fs::copy_file(fs::path(WINE_PREFIX) / reg, copy, error);
        if (error)
            return "cannot copy the Wine registry: " + error.message();
    }
    return {};
}

}  // namespace

OwnPrefix::~OwnPrefix() {
    if (prefix_.empty())
        return;
    support::run({"/usr/bin/env", "WINEPREFIX=" + prefix_, WINESERVER, "-k"});
    std::error_code ignored;
    fs::remove_all(prefix_, ignored);
}

bool OwnPrefix::make(const std::string& folder, std::string& error) {
    error = copyPrefix(folder);
    if (!error.empty())
        return false;
    prefix_ = folder;
    return true;
}

std::vector<std::string> OwnPrefix::command(const std::string& program,
                                            std::vector<std::string> args) const {
    std::vector<std::string> argv{"/usr/bin/env", "WINEPREFIX=" + prefix_, "WINEDEBUG=-all"};
    argv.insert(argv.end(), settings_.begin(), settings_.end());
    argv.push_back(WINE_LOADER);
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

bool OwnPrefix::setRegistry(const std::string& key, const std::string& name,
                            const std::string& type, const std::string& data) {
    support::RunOptions options;
    options.timeout = 120s;
    support::RunResult r = support::run(
        command("reg", {"add", key, "/v", name, "/t", type, "/d", data, "/f"}), options);
    return r.status == 0;
}

bool makeLocale(const std::string& folder, const std::string& input, const std::string& charmap,
                const std::string& name) {
    fs::create_directories(folder);
    support::RunOptions options;
    options.timeout = 60s;
    support::RunResult r = support::run(
        {"/usr/bin/localedef", "-i", input, "-f", charmap, folder + "/" + name}, options);
    return fs::exists(fs::path(folder) / name / "LC_CTYPE");
}

void WineTest::SetUp() {
    if (windowsBin().empty()) {
        GTEST_SKIP() << "not run: no Windows build given (./build.sh windows builds one and "
                        "sets SUITE_WINDOWS_BUILD_DIR)";
    }
    static const std::string failure = wineStartFailure(WINE_PREFIX);
    ASSERT_EQ(failure, "") << "Wine start-up failed with prefix " << WINE_PREFIX;
}

void WineInOwnNetwork::SetUp() {
    if (windowsBin().empty()) {
        GTEST_SKIP() << "not run: no Windows build given (./build.sh windows builds one and "
                        "sets SUITE_WINDOWS_BUILD_DIR)";
    }
    std::string why;
    if (!support::enterOwnNetworkNamespace(why))
        GTEST_SKIP() << "no network namespace: " << why;
    dir_ = support::makeTempDir("wine_netns");
    prefix_ = dir_ + "/wine";
    std::string failure = copyPrefix(prefix_);
    if (failure.empty())
        failure = wineStartFailure(prefix_);
    ASSERT_EQ(failure, "") << "Wine start-up failed with prefix " << prefix_;
}

void WineInOwnNetwork::TearDown() {
    if (prefix_.empty())
        return;
    // The prefix's own Wine server, started inside this namespace.
    support::run({WINESERVER, "-k"});
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

}  // namespace windows_test
