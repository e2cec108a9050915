// SPDX-License-Identifier: Apache-2.0
// Running the cross-built Windows programs under Wine from Linux tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.h"

namespace windows_test {

// The folder with the .exe files and Lumetra.dll; empty when the test build
// was not given the Windows build.
std::string windowsBin();

// Runs bin/<program> under Wine with `args`; Wine's own diagnostics are off.
support::RunResult wine(const std::string& program, std::vector<std::string> args,
                        support::RunOptions options = {});

// The same, left running in the background.
std::vector<std::string> wineCommand(const std::string& program, std::vector<std::string> args);

// "\r\n" read as "\n": the Windows C runtime writes CR LF for a line end.
std::string unixLineEnds(std::string text);

// Skips the test, with the reason, without the Windows build; fails it when
// Wine cannot start a Windows program (once per test process).
class WineTest : public ::testing::Test {
  protected:
    void SetUp() override;
};

// For a Windows server that binds port 1283 on all addresses: the test moves
// into a network namespace of its own (skipped without one) and uses a
// private copy of the Wine prefix. Wine creates sockets in its server
// process, and a Wine server shared with the other tests would sit in the
// machine's own network; the private prefix gets a server of its own, started
// in the namespace and stopped at the end.
class WineInOwnNetwork : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string dir_;  // a scratch folder; the prefix is its wine/
    std::string prefix_;
};

// A copy of the shared Wine prefix for a test that changes Wine's settings
// (the screen's DPI, the locale and with it the system code page), with a
// Wine server of its own that is stopped when the test ends. Programs of
// the test run through command(), window_peek.exe included, so that they
// share that server and its desktop.
class OwnPrefix {
  public:
    OwnPrefix() = default;
    ~OwnPrefix();
    OwnPrefix(const OwnPrefix&) = delete;
    OwnPrefix& operator=(const OwnPrefix&) = delete;

    // Copies the prefix into `folder`; false with the reason in `error`.
    bool make(const std::string& folder, std::string& error);
    // Environment settings (NAME=value) for every program started after.
    void setEnvironment(std::vector<std::string> settings) { settings_ = std::move(settings); }
    // `program` (a path) under Wine with this prefix and the settings.
    std::vector<std::string> command(const std::string& program,
                                     std::vector<std::string> args = {}) const;
    // A registry value through Wine's own reg.exe; false when that failed.
    bool setRegistry(const std::string& key, const std::string& name, const std::string& type,
                     const std::string& data);

  private:
    std::string prefix_;
    std::vector<std::string> settings_;
};

// A locale made with localedef into `folder` (for LOCPATH) from the system's
// locale sources; false when the system has none for it (the test then
// skips). Nothing is downloaded.
bool makeLocale(const std::string& folder, const std::string& input, const std::string& charmap,
                const std::string& name);

}  // namespace windows_test
