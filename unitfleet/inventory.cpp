#include "unitfleet/inventory.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unordered_map>

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

}  // namespace

Inventory parseInventory(std::string_view text, const std::string& file) {
    Inventory inventory;
    std::unordered_map<net::Ipv4, int> byAddress;
    std::unordered_map<std::string, int> byStem;  // file stems, ignoring case
    auto fault = [&](int line, const std::string& why) {
        inventory.errors.push_back(file + ":" + std::to_string(line) + ": " + why);
    };
    int number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        line = line.substr(0, line.find('#'));
        std::vector<std::string> fields = words(line);
        if (fields.empty())
            continue;
        InventoryUnit unit;
        unit.address = fields[0];
        if (fields.size() > 1)
            unit.name = fields[1];
        unit.groups.assign(fields.begin() + std::min<std::ptrdiff_t>(2, fields.size()),
                           fields.end());
        unit.line = number;
        std::size_t last = line.find_last_not_of(" \t\r");
        unit.text = std::string(
            line.substr(line.find_first_not_of(" \t"), last + 1 - line.find_first_not_of(" \t")));
        std::optional<net::Ipv4> ip = net::lookupHost(unit.address);
        if (!ip) {
            fault(number, "cannot resolve '" + unit.address + "'");
            continue;
        }
        unit.ip = *ip;
        if (auto [it, fresh] = byAddress.try_emplace(*ip, number); !fresh) {
            fault(number, unit.address + " (" + net::dotted(*ip) + ") is already listed at line " +
                              std::to_string(it->second));
            continue;
        }
        if (!unit.name.empty() && !isSafeName(unit.name)) {
            fault(number, "name '" + unit.name +
                              "' may hold only letters, digits, '.', '_' and '-' and may not "
                              "start with '.'");
            continue;
        }
        if (auto [it, fresh] = byStem.try_emplace(lowered(unit.fileStem()), number); !fresh) {
            fault(number, "'" + unit.fileStem() + "' names another unit at line " +
                              std::to_string(it->second) + " too (backup files are named by it)");
            continue;
        }
        inventory.units.push_back(std::move(unit));
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
