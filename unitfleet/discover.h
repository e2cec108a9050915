// SPDX-License-Identifier: Apache-2.0
// discover: the units on a range of addresses, written as an inventory.
// Every address that accepts on port 1283 and answers a UnitID query as a
// unit becomes a line (address, a file-safe name from its UnitID); the
// others are only counted.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/parse.h"
#include "platform/socket.h"

namespace unitfleet {

// Ranges larger than this in all need --force: a /20 at most.
inline constexpr std::size_t kDiscoverLimit = 4096;
// Not even with --force: a /16.
inline constexpr std::size_t kDiscoverForcedLimit = 65536;

using AddressRange = platform::Ipv4Range;

// "A-B", "A/N" (CIDR, the whole block) or one address "A", dotted IPv4 only
// (platform/parse.h's strict reading); nothing with a message in `error` otherwise.
std::optional<AddressRange> parseRange(std::string_view text, std::string& error);

// The addresses the ranges hold together, each counted once however the
// ranges overlap.
std::uint64_t addressCount(std::vector<AddressRange> ranges);

// The UnitID of a unit made into an inventory name: characters other than
// letters, digits, '.', '_' and '-' become '_', leading dots go, at most
// kLongestStem characters; empty when nothing is left.
std::string safeName(std::string_view unitId);

// The inventory lines of the units found (address, name from the UnitID).
// Every name is one unitfleet's inventory reader takes: safe, at most
// kLongestStem characters, unique ignoring case (-2, -3, ... added), and
// never an address (a UnitID that reads as one gets a "unit-" prefix).
// `port` 0 is the units' port; another is written after each address.
struct FoundUnit {
    platform::Ipv4 address = 0;
    std::string unitId;
};
std::string discoveredInventory(const std::vector<FoundUnit>& units, std::uint16_t port,
                                const std::string& heading);

struct DiscoverSettings {
    std::vector<std::string> ranges;
    int jobs = 64;
    double timeoutSeconds = 2;
    bool force = false;
    std::string output;      // empty: standard output
    std::uint16_t port = 0;  // 0: the units' port, 1283
};

// 0 when it ran (whether or not units were found), 2 on a usage or input error.
int runDiscover(const DiscoverSettings& settings, std::FILE* out, std::FILE* err);

}  // namespace unitfleet
