// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/baselines.h"

#include <algorithm>

#include "unitfleetd/listing_store.h"
#include "unitfleetd/metrics.h"

namespace unitfleetd {

Baseline baselineFrom(std::string group, std::string file, std::string text) {
    Baseline b;
    b.group = std::move(group);
    b.file = std::move(file);
    // An apply reads its ini file up to the first zero byte: one in a
    // baseline would hide what follows it, so it is a fault here.
    std::string_view read = std::string_view(text).substr(0, text.find('\0'));
    b.settings = unitfleet::iniSettings(read);
    b.faults = unitfleet::checkSettings(b.settings, b.group);
    if (read.size() != text.size())
        b.faults.insert(b.faults.begin(), b.group + ": the file holds a zero byte");
    b.text = std::move(text);
    return b;
}

std::optional<Baseline> readBaseline(const Config& config, const std::string& group) {
    auto it = config.baselines.find(group);
    if (it == config.baselines.end())
        return std::nullopt;
    auto text = unitfleet::readTextFile(it->second);
    if (!text) {
        Baseline b;
        b.group = group;
        b.file = it->second;
        b.faults.push_back(group + ": the baseline file cannot be read");
        return b;
    }
    return baselineFrom(group, it->second, std::move(*text));
}

std::vector<std::string> baselineGroups(const Config& config,
                                        const unitfleet::InventoryUnit& unit) {
    std::vector<std::string> groups;
    for (const auto& g : unit.groups)
        if (config.baselines.contains(g) &&
            std::find(groups.begin(), groups.end(), g) == groups.end())
            groups.push_back(g);
    return groups;
}

UnitPlan planFor(const unitfleet::Listing& listing,
                 const std::vector<unitfleet::ModeSetting>& settings) {
    protocol::ModeTable table = unitfleet::listingTable(listing);
    return {unitfleet::plannedChanges(table, settings), unitfleet::unknownModes(table, settings)};
}

std::vector<DriftMode> driftOf(const unitfleet::Listing& listing,
                               const std::vector<unitfleet::ModeSetting>& settings) {
    UnitPlan plan = planFor(listing, settings);
    std::vector<DriftMode> drift;
    for (auto& c : plan.changes) drift.push_back({c.mode, c.newValue, c.unitValue});
    for (const auto& mode : plan.unknown) {
        // The value asked for: the last setting of that name wins, as in the ini.
        std::string value;
        for (const auto& s : settings)
            if (s.name == mode)
                value = s.value;
        drift.push_back({mode, value, std::nullopt});
    }
    return drift;
}

std::map<std::string, int> countDrift(const Config& config, const unitfleet::Inventory& inventory,
                                      ListingStore& listings) {
    std::map<std::string, int> counts;
    std::map<std::string, std::optional<Baseline>> baselines;
    std::vector<std::string> stems;
    for (const auto& unit : inventory.units) {
        counts[unitKey(unit)] = -1;
        auto groups = baselineGroups(config, unit);
        if (groups.empty())
            continue;
        if (!baselines.contains(groups[0]))
            baselines[groups[0]] = readBaseline(config, groups[0]);
        stems.push_back(unit.fileStem());
    }
    std::string error;
    auto head = listings.head(error);
    if (!head || head->empty() || stems.empty())
        return counts;
    auto texts = listings.listingsAt(*head, stems, error);
    if (!texts)
        return counts;
    for (const auto& unit : inventory.units) {
        auto groups = baselineGroups(config, unit);
        if (groups.empty())
            continue;
        const auto& baseline = baselines[groups[0]];
        auto text = texts->find(unit.fileStem());
        if (!baseline || !baseline->usable() || text == texts->end())
            continue;
        auto listing = unitfleet::readListing(text->second, error);
        if (listing)
            counts[unitKey(unit)] = static_cast<int>(driftOf(*listing, baseline->settings).size());
    }
    return counts;
}

}  // namespace unitfleetd
