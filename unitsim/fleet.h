// SPDX-License-Identifier: Apache-2.0
// Many simulated units in one process: the address list that --address
// gives, the share of units each fault goes to, and a journal per unit.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "unitsim/unit.h"

namespace unitsim {

// The most units one process serves (each needs a listening socket).
inline constexpr std::size_t kMaxUnits = 16384;

// "N" N units from 127.0.1.1; "A-B" every address from A to B and "A/N"
// every address of that block (dotted IPv4, as platform::parseIpv4Range reads
// them); any other text one address (a name is resolved when the unit
// starts). Nothing and a message in `error` otherwise.
std::optional<std::vector<std::string>> parseAddressList(const std::string& text,
                                                         std::string& error);

// Faults for every K-th unit (index % every == offset).
struct FaultShare {
    std::size_t every = 1;
    std::size_t offset = 0;
    Faults faults;
};

// The share --every gives: "K" or "K+R" with K >= 1 and R < K.
std::optional<FaultShare> parseFaultShare(const std::string& text);

// The common faults together with those of every share the unit falls in.
Faults faultsFor(std::size_t index, const Faults& common, const std::vector<FaultShare>& shares);

// The journal file of one unit: "%a" in `pattern` becomes the address; with
// several units and no "%a", ".ADDRESS" is appended.
std::string journalPathFor(const std::string& pattern, const std::string& address, bool many);

// Descriptors a process serving `units` units asks for: one listener each,
// and room for the connections open at once (a fleet tool's workers, a test's
// clients) and the loops' own.
std::size_t descriptorsFor(std::size_t units);

// Units served by a few event-loop threads (one for a single unit, at most
// four), units dealt to the loops in turn. Stops every unit when it goes.
class UnitGroup {
  public:
    // Starts every unit; nothing and the first unit's failure in `error` when
    // one cannot start (those already started are stopped again).
    static std::optional<UnitGroup> start(std::vector<Options> list, std::string& error);
    UnitGroup(UnitGroup&&) = default;
    UnitGroup& operator=(UnitGroup&&) = default;
    ~UnitGroup();

    std::size_t size() const { return units_.size(); }
    Unit& operator[](std::size_t index) { return *units_[index]; }
    std::size_t threads() const { return loops_.size(); }

  private:
    UnitGroup() = default;
    void stop();

    std::vector<std::unique_ptr<platform::LoopThread>> loops_;
    std::vector<std::unique_ptr<Unit>> units_;  // after loops_: they go first
};

}  // namespace unitsim
