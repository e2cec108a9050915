// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/mode_plan.h"

#include <algorithm>
#include <unordered_map>

#include "protocol/mode_ini.h"
#include "protocol/text.h"

namespace unitfleet {

namespace {

constexpr std::string_view kNotSet = "(Not Set)";

std::string lowered(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = protocol::lowerAscii(c);
    return key;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool nameFits(std::string_view name, std::string& error) {
    if (name.empty()) {
        error = "a mode name is empty";
        return false;
    }
    std::string shown = "mode name '" + protocol::escapeControls(name) + "'";
    if (name.find_first_of(std::string_view("=\r\n\0", 4)) != std::string_view::npos)
        error = shown + " holds '=', CR, LF or NUL";
    else if (isBlank(name.front()) || isBlank(name.back()))
        error = shown + " starts or ends with a blank";
    else
        return true;
    return false;
}

// Edit distance, ignoring case; small names only.
std::size_t distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t above = row[j];
            bool same = protocol::lowerAscii(a[i - 1]) == protocol::lowerAscii(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool isDecimalInteger(std::string_view value) {
    if (!value.empty() && value.front() == '-')
        value.remove_prefix(1);
    return !value.empty() && value.size() <= 10 &&
           std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<ModeSetting> iniSettings(std::string_view text) {
    std::vector<ModeSetting> settings;
    for (const protocol::IniEntry& entry : protocol::iniEntries(text)) {
        if (entry.name.empty() || entry.name.front() == '#' || entry.name == "TargetIP")
            continue;
        std::string_view value = protocol::trimRight(entry.value);
        if (protocol::equalsIgnoreCase(value, kNotSet))
            continue;
        settings.push_back({std::string(entry.name), std::string(value), entry.line});
    }
    return settings;
}

std::vector<std::string> checkSettings(const std::vector<ModeSetting>& settings,
                                       const std::string& where) {
    std::vector<std::string> errors;
    std::unordered_map<std::string, int> seen;
    for (const ModeSetting& setting : settings) {
        auto fault = [&](const std::string& why) {
            errors.push_back(where + (setting.line > 0 ? ":" + std::to_string(setting.line) : "") +
                             ": " + why);
        };
        const std::string& name = setting.name;
        if (std::string why; !nameFits(name, why)) {
            fault(why);
            continue;
        }
        if (setting.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            fault("the value of " + name + " holds CR, LF or NUL");
            continue;
        }
        if (name.size() >= protocol::kLongModeName) {
            fault("mode name '" + name.substr(0, 20) + "...' has " + std::to_string(name.size()) +
                  " characters; at most " + std::to_string(protocol::kLongModeName - 1));
            continue;
        }
        if (name.size() + 3 + setting.value.size() > kLongestSetLine) {
            fault("the line for " + name + " is longer than " + std::to_string(kLongestSetLine) +
                  " characters");
            continue;
        }
        if (auto [it, fresh] = seen.try_emplace(lowered(name), setting.line); !fresh) {
            fault(name + " is set again" +
                  (it->second > 0 ? " (first at line " + std::to_string(it->second) + ")" : ""));
            continue;
        }
    }
    if (settings.empty() && errors.empty())
        errors.push_back(where + ": sets no modes");
    return errors;
}

std::vector<std::string> checkIni(std::string_view text, const std::string& file) {
    return checkSettings(iniSettings(text), file);
}

std::vector<std::string> unknownModes(const protocol::ModeTable& table,
                                      const std::vector<ModeSetting>& settings) {
    std::vector<std::string> names;
    for (const ModeSetting& setting : settings) {
        if (table.findMode(setting.name) < 0)
            names.push_back(setting.name);
    }
    return names;
}

std::string closestName(std::string_view name, const std::vector<std::string>& candidates) {
    std::string closest;
    std::size_t best = 3;  // at most two edits away
    for (const std::string& candidate : candidates) {
        std::size_t d = distance(name, candidate);
        if (d < best && d * 3 <= name.size()) {
            best = d;
            closest = candidate;
        }
    }
    return closest;
}

std::string noModeText(const protocol::ModeTable& table, const std::string& name) {
    std::string text = "the unit has no mode " + protocol::escapeControls(name);
    std::vector<std::string> names;
    for (const protocol::ModeRecord& record : table.records()) names.push_back(record.name);
    if (std::string close = closestName(name, names); !close.empty())
        text += " (did you mean " + protocol::escapeControls(close) + "?)";
    return text;
}

bool valueFits(const protocol::ModeRecord& record, std::string_view value, std::string& error) {
    std::string shown = "'" + protocol::escapeControls(value) + "'";
    if (protocol::equalsIgnoreCase(record.type, "STRING")) {
        if (record.size > 0 && value.size() > static_cast<std::size_t>(record.size)) {
            error = record.name + " holds at most " + std::to_string(record.size) +
                    " characters, not " + std::to_string(value.size());
            return false;
        }
    } else if (protocol::equalsIgnoreCase(record.type, "BOOLEAN")) {
        if (value != "TRUE" && value != "FALSE") {
            error = record.name + " takes TRUE or FALSE, not " + shown;
            return false;
        }
    } else if (protocol::equalsIgnoreCase(record.type, "INTEGER")) {
        if (!isDecimalInteger(value)) {
            error = record.name + " takes a decimal integer, not " + shown;
            return false;
        }
    }
    return true;
}

std::vector<std::string> valueFaults(const protocol::ModeTable& table,
                                     const std::vector<ModeSetting>& settings) {
    std::vector<std::string> faults;
    for (const ModeSetting& setting : settings) {
        int i = table.findMode(setting.name);
        if (i < 0)
            continue;
        // A value the unit already holds, however odd, is not sent again.
        const protocol::ModeRecord& record = table[static_cast<std::size_t>(i)];
        if (record.nvram && *record.nvram == setting.value)
            continue;
        if (std::string why; !valueFits(record, setting.value, why))
            faults.push_back(std::move(why));
    }
    return faults;
}

std::vector<Change> plannedChanges(const protocol::ModeTable& table,
                                   const std::vector<ModeSetting>& settings) {
    protocol::ModeTable flagged = table;
    for (const ModeSetting& setting : settings) {
        int i = flagged.findMode(setting.name);
        if (i < 0)
            continue;
        protocol::ModeRecord& record = flagged[static_cast<std::size_t>(i)];
        record.iniValue = setting.value;
        record.setInIni = true;
    }
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
