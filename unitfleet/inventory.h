// SPDX-License-Identifier: Apache-2.0
// The inventory: one unit a line, its address (a host name or dotted IPv4,
// with ":PORT" for a unit reached through a port forward), then an optional
// name and groups; "#" starts a comment. Every fault in the file is found
// before any unit is contacted; a name that does not resolve is no fault of
// the file: that unit fails alone when the run gets to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket.h"

namespace unitfleet {

// Longest name (or address, for a unit without a name): it names the unit's
// backup file, whose name with ".ini" and a temporary suffix must stay
// within the 255 bytes a file name may have.
inline constexpr std::size_t kLongestStem = 200;

struct InventoryUnit {
    std::string address;     // the host as written, without the port
    std::uint16_t port = 0;  // 0: the units' port, 1283
    std::string name;        // empty when the line gives none
    std::vector<std::string> groups;
    int line = 0;           // from 1
    std::string text;       // the line without its comment, for retry files
    platform::Ipv4 ip = 0;       // the address resolved
    bool resolved = false;  // false: the name did not resolve when the file was read

    // "127.0.1.5" or "127.0.1.5:10001": where the unit is reached.
    std::string target() const {
        return port == 0 ? address : address + ":" + std::to_string(port);
    }
    // "127.0.1.5 till-07", or the target alone.
    std::string label() const { return name.empty() ? target() : target() + " " + name; }
    // The stem of the unit's backup file: its name, else its address (and
    // port, as "_PORT": a ':' is no file name character everywhere).
    std::string fileStem() const {
        if (!name.empty())
            return name;
        return port == 0 ? address : address + "_" + std::to_string(port);
    }
};

struct Inventory {
    std::vector<InventoryUnit> units;
    std::vector<std::string> errors;  // "FILE:LINE: why", in line order
};

// Parses `text` (a leading UTF-8 byte-order mark is skipped); `file` only
// prefixes the messages. Addresses are resolved here, so duplicates are
// found whatever their spelling.
// `resolve` turns an address into an IPv4 address (a fuzz target passes one
// that asks no name server).
using Resolver = std::optional<platform::Ipv4> (*)(const std::string& address);
Inventory parseInventory(std::string_view text, const std::string& file,
                         Resolver resolve = platform::lookupHost);

// The units that belong to any of `groups` (all units when it is empty).
std::vector<InventoryUnit> selectGroups(const std::vector<InventoryUnit>& units,
                                        const std::vector<std::string>& groups);

// Reads a whole file; nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::string& path);

}  // namespace unitfleet
