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

#include "net/socket.h"

namespace unitfleet {

// Ranges larger than this in all need --force: a /20 at most.
inline constexpr std::size_t kDiscoverLimit = 4096;
// Not even with --force: a /16.
inline constexpr std::size_t kDiscoverForcedLimit = 65536;

struct AddressRange {
    net::Ipv4 first = 0, last = 0;
};

// "A-B", "A/N" (CIDR, the whole block) or one address "A", dotted IPv4 only;
// nothing with a message in `error` otherwise.
std::optional<AddressRange> parseRange(std::string_view text, std::string& error);

// The UnitID of a unit made into an inventory name: characters other than
// letters, digits, '.', '_' and '-' become '_', leading dots go; empty when
// nothing is left.
std::string safeName(std::string_view unitId);

struct DiscoverSettings {
    std::vector<std::string> ranges;
    int jobs = 64;
    double timeoutSeconds = 2;
    bool force = false;
    std::string output;  // empty: standard output
};

// 0 when it ran (whether or not units were found), 2 on a usage or input error.
int runDiscover(const DiscoverSettings& settings, std::FILE* out, std::FILE* err);

}  // namespace unitfleet
