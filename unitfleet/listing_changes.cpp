// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/listing_changes.h"

#include <map>

#include "protocol/text.h"

namespace unitfleet {

bool VolatileModes::contains(std::string_view mode) const {
    for (const std::string& name : names) {
        if (protocol::equalsIgnoreCase(name, mode))
            return true;
    }
    return false;
}

std::vector<std::pair<std::string, std::string>> listingEntries(std::string_view listing) {
    std::vector<std::pair<std::string, std::string>> entries;
    while (!listing.empty()) {
        std::size_t end = listing.find('\n');
        std::string_view line = listing.substr(0, end);
        listing = end == std::string_view::npos ? std::string_view() : listing.substr(end + 1);
        std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string_view::npos)
            continue;
        // Names never hold "=" or blanks; the value is what follows "= ".
        std::string_view name = protocol::trimRight(line.substr(0, equals));
        std::string_view value = line.substr(equals + 1);
        if (!value.empty() && value[0] == ' ')
            value.remove_prefix(1);
        entries.emplace_back(std::string(name), std::string(value));
    }
    return entries;
}

std::vector<ModeChange> listingChanges(std::string_view before, std::string_view after,
                                       const VolatileModes& volatileModes) {
    auto old = listingEntries(before);
    auto now = listingEntries(after);
    std::map<std::string, std::size_t> nowIndex;
    for (std::size_t i = 0; i < now.size(); ++i) nowIndex.emplace(now[i].first, i);
    std::vector<bool> matched(now.size(), false);
    std::vector<ModeChange> changes;
    for (const auto& [name, value] : old) {
        auto found = nowIndex.find(name);
        std::optional<std::string> newValue;
        if (found != nowIndex.end()) {
            matched[found->second] = true;
            newValue = now[found->second].second;
        }
        if (newValue != value && !volatileModes.contains(name))
            changes.push_back({name, value, newValue});
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (!matched[i] && !volatileModes.contains(now[i].first))
            changes.push_back({now[i].first, std::nullopt, now[i].second});
    }
    return changes;
}

std::string describeChange(const ModeChange& change) {
    return change.mode + " " + change.before.value_or("(none)") + " -> " +
           change.after.value_or("(none)");
}

}  // namespace unitfleet
