// SPDX-License-Identifier: Apache-2.0
// A temporary folder, simulated units on 127.`Block`.`net`.1 to .`count`
// and the fleet tool run in that folder: what the unitfleet end-to-end tests
// share. Each test file takes an address block of its own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace unitfleet_test {

template <int Block>
class FleetFixture : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = support::makeTempDir("unitfleet-" + std::to_string(Block)); }
    void TearDown() override {
        sim_.reset();
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }

    // Simulated units on 127.`Block`.`net`.1 to .`count`, with `extra` options.
    void simulate(int net, int count, std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{UNITSIM_BIN, "--address",
                                      address(net, 1) + "-" + address(net, count), "--journal",
                                      dir_ + "/journal-%a"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<support::Background>(argv);
        std::string ready = count == 1 ? "listening" : std::to_string(count) + " units listening";
        ASSERT_TRUE(sim_->waitForOutput(ready, std::chrono::seconds(30))) << sim_->stop().err;
    }
    static std::string address(int net, int host) {
        return "127." + std::to_string(Block) + "." + std::to_string(net) + "." +
               std::to_string(host);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    void write(const std::string& name, const std::string& text) {
        support::writeFile(path(name), text);
    }
    std::string read(const std::string& name) const { return support::readFile(path(name)); }

    support::RunResult fleet(std::vector<std::string> args) {
        args.insert(args.begin(), UNITFLEET_BIN);
        return program(args);
    }
    support::RunResult program(const std::vector<std::string>& argv) {
        support::RunOptions options;
        options.workingDirectory = dir_;
        options.timeout = std::chrono::milliseconds(120000);
        return support::run(argv, options);
    }

    std::string dir_;
    std::unique_ptr<support::Background> sim_;
};

}  // namespace unitfleet_test
