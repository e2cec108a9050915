#include "unitfleet/mode_plan.h"

#include <unordered_map>

#include "protocol/mode_ini.h"
#include "protocol/text.h"

namespace unitfleet {

namespace {

std::string lowered(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = protocol::lowerAscii(c);
    return key;
}

}  // namespace

std::vector<std::string> checkIni(std::string_view text, const std::string& file) {
    std::vector<std::string> errors;
    std::unordered_map<std::string, int> seen;
    int modes = 0;
    for (const protocol::IniEntry& entry : protocol::iniEntries(text)) {
        auto fault = [&](const std::string& why) {
            errors.push_back(file + ":" + std::to_string(entry.line) + ": " + why);
        };
        std::string name(entry.name);
        if (name.empty() || name.front() == '#' || name == "TargetIP")
            continue;
        if (name.size() >= protocol::kLongModeName) {
            fault("mode name '" + name.substr(0, 20) + "...' has " + std::to_string(name.size()) +
                  " characters; at most " + std::to_string(protocol::kLongModeName - 1));
            continue;
        }
        std::string_view value = protocol::trimRight(entry.value);
        if (name.size() + 3 + value.size() > kLongestSetLine) {
            fault("the line for " + name + " is longer than " + std::to_string(kLongestSetLine) +
                  " characters");
            continue;
        }
        if (auto [it, fresh] = seen.try_emplace(lowered(name), entry.line); !fresh) {
            fault(name + " is set again (first at line " + std::to_string(it->second) + ")");
            continue;
        }
        ++modes;
    }
    if (modes == 0 && errors.empty())
        errors.push_back(file + ": sets no modes");
    return errors;
}

std::vector<Change> plannedChanges(const protocol::ModeTable& table, std::string_view iniText) {
    protocol::ModeTable flagged = table;
    protocol::applyIniValues(flagged, iniText);
    std::vector<Change> changes;
    for (std::size_t i : protocol::setOrder(flagged)) {
        const protocol::ModeRecord& record = flagged[i];
        // Byte for byte: a unit keeps a value as it was set, so "STANDARD" for
        // "Standard" is a change to make (the mode tool's report ignores case).
        if (record.nvram && *record.nvram == *record.iniValue)
            continue;
        changes.push_back({record.name, record.nvram, *record.iniValue});
    }
    return changes;
}

std::string setLine(const Change& change) {
    return change.mode + " = " + change.newValue;
}

}  // namespace unitfleet
