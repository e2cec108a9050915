#include "tests/windows/wine.h"

#include <cstdlib>

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

// Empty when Wine runs a Windows program, else why not.
std::string wineStartFailure() {
    setenv("WINEPREFIX", WINE_PREFIX, 1);
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

}  // namespace

void WineTest::SetUp() {
    if (windowsBin().empty()) {
        GTEST_SKIP() << "not run: no Windows build given (./build.sh windows builds one and "
                        "sets SUITE_WINDOWS_BUILD_DIR)";
    }
    static const std::string failure = wineStartFailure();
    ASSERT_EQ(failure, "") << "Wine start-up failed with prefix " << WINE_PREFIX;
}

}  // namespace windows_test
