// SPDX-License-Identifier: Apache-2.0
// A daemon with its real job runner and status poll, and simulated units
// (unitsim, in this process) on 127.38.x.1 to .N as its inventory.
#pragma once

#include <optional>

#include "platform/event_loop.h"
#include "unitfleetd/api_fixture.h"
#include "unitsim/fleet.h"

namespace unitfleetd::testing {

class JobsFixture : public DaemonFixture {
  protected:
    void TearDown() override;

    // Starts `count` units; `faults(i)` gives unit i its faults and
    // `modes(i, table)` may change its mode table. The inventory lists them
    // as u0 .. uN-1 in the groups "fleet" and "even"/"odd", then `extra` lines.
    void startUnits(int count, std::function<void(int, unitsim::Options&)> adjust = nullptr,
                    const std::string& extra = "");
    // The daemon with its own runner (not the fake one).
    void startWithCore(const std::string& configExtra = "");

    std::string unitAddress(int i) const;
    static std::string unitName(int i) { return "u" + std::to_string(i); }
    // Starts a job as `token`'s user; its id, or 0 with a test failure.
    std::int64_t startJob(const std::string& token, const nlohmann::json& body);
    std::string storeFolder() const { return folder + "/state/store"; }
    // `git log` of a folder, one "author|committer|subject" line a commit.
    std::vector<std::string> gitLog(const std::string& dir);
    // GET of a text resource with a token; its body, or "" with a failure.
    std::string getText(const std::string& token, const std::string& target, int status = 200);

    std::optional<unitsim::UnitGroup> units;
};

}  // namespace unitfleetd::testing
