// Many simulated units in one process: the address list that --address
// gives, the share of units each fault goes to, and a journal per unit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "unitsim/unit.h"

namespace unitsim {

// The most units one process serves (each needs a listening socket).
inline constexpr std::size_t kMaxUnits = 16384;

// "A" one address, "A-B" every address from A to B (dotted IPv4, A <= B), "N"
// N units from 127.0.1.1. Nothing and a message in `error` otherwise.
std::optional<std::vector<std::string>> parseAddressList(const std::string& text,
                                                         std::string& error);

// Faults for every K-th unit (index % every == offset).
struct FaultShare {
    std::size_t every = 1;
    std::size_t offset = 0;
    Faults faults;
};

// "K" or "K+R" with K >= 1 and R < K.
std::optional<FaultShare> parseShare(const std::string& text);

// The common faults together with those of every share the unit falls in.
Faults faultsFor(std::size_t index, const Faults& common, const std::vector<FaultShare>& shares);

// The journal file of one unit: "%a" in `pattern` becomes the address; with
// several units and no "%a", ".ADDRESS" is appended.
std::string journalPathFor(const std::string& pattern, const std::string& address, bool many);

// Raises the soft limit on open files towards the hard one so that `needed`
// descriptors fit; false when even the hard limit is too low.
bool raiseOpenFileLimit(std::size_t needed);

}  // namespace unitsim
