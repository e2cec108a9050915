// SPDX-License-Identifier: Apache-2.0
// A simulated unit with a small known mode table on a loopback address of
// Tarnix's own range (127.0.2.x), and helpers to check what it received.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "unitsim/unit.h"

namespace tarnix_test {

// Nine modes; the longest name ("ProductName") makes the name column 15 wide.
std::vector<unitsim::ModeDef> testModes();

// "name<padding to 15>= value\n", as Tarnix prints a mode line for testModes().
std::string modeLine(const std::string& name, const std::string& value, int width = 15);

// The exact bytes of an MDSQ frame carrying `text`.
std::vector<std::uint8_t> queryFrame(const std::string& text);

// Makes a file unwritable even for root (who ignores its mode bits) while it
// lives, so that only a read-only open of it succeeds.
class Unwritable {
  public:
    explicit Unwritable(std::string path);
    ~Unwritable();
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool effective() const;

  private:
    bool setImmutable(bool on);
    std::string path_;
    bool immutable_ = false;
};

class UnitFixture : public ::testing::Test {
  protected:
    void SetUp() override;

    // Starts a unit on 127.0.2.`host`; fails the test when it cannot.
    unitsim::Unit& startUnit(int host, std::vector<unitsim::ModeDef> modes = testModes(),
                             unitsim::Faults faults = {});
    static std::string address(int host) { return "127.0.2." + std::to_string(host); }

    // Runs the real Tarnix in the test's own directory.
    support::RunResult tarnix(std::vector<std::string> args);
    void writeIni(const std::string& content, const std::string& name = "Tarnix.ini");

    // Query texts of the MDSQ frames the unit received ("" for the empty
    // query), after checking that each is exactly the frame Tarnix should
    // build for that text.
    std::vector<std::string> queries(const unitsim::Unit& unit);

    std::string dir_;
    std::vector<std::unique_ptr<unitsim::Unit>> units_;
};

}  // namespace tarnix_test
