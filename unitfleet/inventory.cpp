// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/inventory.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "platform/parse.h"

namespace unitfleet {

namespace {

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < line.size()) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string_view::npos)
            break;
        std::size_t end = line.find_first_of(" \t\r", at);
        out.emplace_back(line.substr(at, end - at));
        at = end;
    }
    return out;
}

// Names become file names, so they keep to characters that are safe in any
// folder and cannot climb out of it.
bool isSafeName(std::string_view name) {
    if (name.empty() || name.front() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

std::string lowered(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// The unit a line names, before any check; nothing for a blank or comment line.
std::optional<InventoryUnit> readLine(std::string_view line, int number) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string> fields = words(line);
    if (fields.empty())
        return std::nullopt;
    InventoryUnit unit;
    unit.address = fields[0];  // split into host and port by fault()
    if (fields.size() > 1)
        unit.name = fields[1];
    if (fields.size() > 2)
        unit.groups.assign(fields.begin() + 2, fields.end());
    unit.line = number;
    std::size_t first = line.find_first_not_of(" \t");
    unit.text = std::string(line.substr(first, line.find_last_not_of(" \t\r") + 1 - first));
    return unit;
}

// Where each address and file stem was first seen.
struct Seen {
    std::unordered_map<std::uint64_t, int> addresses;  // address and port
    std::unordered_map<std::string, int> stems;        // ignoring case
};

bool fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

// Whether the unit of a line is sound; false with what is wrong in `error`.
bool unitFits(InventoryUnit& unit, Seen& seen, Resolver resolve, std::string& error) {
    std::optional<platform::HostPort> where = platform::parseHostPort(unit.address, error);
    if (!where)
        return false;
    unit.address = where->host;
    unit.port = where->port.value_or(0);
    if (std::optional<platform::Ipv4> ip = resolve(unit.address)) {
        unit.ip = *ip;
        unit.resolved = true;
        std::uint64_t key = (std::uint64_t{*ip} << 16) | (unit.port == 0 ? 1283 : unit.port);
        if (auto [it, fresh] = seen.addresses.try_emplace(key, unit.line); !fresh) {
            return fail(error, unit.target() + " (" + platform::dotted(*ip) +
                                   ") is already listed at line " + std::to_string(it->second));
        }
    }
    if (unit.fileStem().size() > kLongestStem) {
        return fail(error, "'" + unit.fileStem().substr(0, 20) + "...' has " +
                               std::to_string(unit.fileStem().size()) +
                               " characters; a unit's name (or address) " +
                               "names its backup file and may have at most " +
                               std::to_string(kLongestStem));
    }
    if (!unit.name.empty() && !isSafeName(unit.name)) {
        return fail(
            error,
            "name '" + unit.name +
                "' may hold only letters, digits, '.', '_' and '-' and may not start with '.'");
    }
    if (auto [it, fresh] = seen.stems.try_emplace(lowered(unit.fileStem()), unit.line); !fresh) {
        return fail(error, "'" + unit.fileStem() + "' names another unit at line " +
                               std::to_string(it->second) + " too (backup files are named by it)");
    }
    return true;
}

}  // namespace

Inventory parseInventory(std::string_view text, const std::string& file, Resolver resolve) {
    // Editors on Windows may start a UTF-8 file with a byte-order mark.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    Inventory inventory;
    Seen seen;
    std::istringstream in{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::optional<InventoryUnit> unit = readLine(line, number);
        if (!unit)
            continue;
        if (std::string why; !unitFits(*unit, seen, resolve, why))
            inventory.errors.push_back(file + ":" + std::to_string(number) + ": " + why);
        else
            inventory.units.push_back(std::move(*unit));
    }
    return inventory;
}

std::vector<InventoryUnit> selectGroups(const std::vector<InventoryUnit>& units,
                                        const std::vector<std::string>& groups) {
    if (groups.empty())
        return units;
    std::vector<InventoryUnit> chosen;
    for (const InventoryUnit& unit : units) {
        bool member = std::any_of(groups.begin(), groups.end(), [&](const std::string& g) {
            return std::find(unit.groups.begin(), unit.groups.end(), g) != unit.groups.end();
        });
        if (member)
            chosen.push_back(unit);
    }
    return chosen;
}

std::optional<std::string> readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

}  // namespace unitfleet
