// The inventory: one unit a line, its address (a host name or dotted IPv4),
// then an optional name and groups; "#" starts a comment. Every fault in the
// file is found before any unit is contacted.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/socket.h"

namespace unitfleet {

// Longest name (or address, for a unit without a name): it names the unit's
// backup file, whose name with ".ini" and a temporary suffix must stay
// within the 255 bytes a file name may have.
inline constexpr std::size_t kLongestStem = 200;

struct InventoryUnit {
    std::string address;  // as written
    std::string name;     // empty when the line gives none
    std::vector<std::string> groups;
    int line = 0;      // from 1
    std::string text;  // the line without its comment, for retry files
    net::Ipv4 ip = 0;  // the address resolved

    // "127.0.1.5 till-07", or the address alone.
    std::string label() const { return name.empty() ? address : address + " " + name; }
    // The stem of the unit's backup file: its name, else its address.
    const std::string& fileStem() const { return name.empty() ? address : name; }
};

struct Inventory {
    std::vector<InventoryUnit> units;
    std::vector<std::string> errors;  // "FILE:LINE: why", in line order
};

// Parses `text` (a leading UTF-8 byte-order mark is skipped); `file` only
// prefixes the messages. Addresses are resolved here, so duplicates are
// found whatever their spelling.
Inventory parseInventory(std::string_view text, const std::string& file);

// The units that belong to any of `groups` (all units when it is empty).
std::vector<InventoryUnit> selectGroups(const std::vector<InventoryUnit>& units,
                                        const std::vector<std::string>& groups);

// Reads a whole file; nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::string& path);

}  // namespace unitfleet
