// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/discover.h"

#include <algorithm>
#include <set>

#include "unitfleet/commands.h"
#include "unitfleet/inventory.h"
#include "unitfleet/mode_question.h"
#include "unitfleet/outcome.h"
#include "unitfleet/output_file.h"
#include "unitfleet/pool.h"

namespace unitfleet {

namespace {

using Status = protocol::ClientSession::Status;

struct Found {
    bool unit = false;
    Status status = Status::Lost;
    std::string unitId;
};

// The counts of the addresses without a unit, by what happened there.
std::string withoutUnits(const std::vector<Found>& found) {
    std::size_t refused = 0, silent = 0, other = 0;
    for (const Found& f : found) {
        if (f.unit)
            continue;
        if (f.status == Status::Unreachable)
            ++refused;
        else if (f.status == Status::TimedOut)
            ++silent;
        else
            ++other;
    }
    return std::to_string(refused) + " not accepting, " + std::to_string(silent) +
           " not answering in time, " + std::to_string(other) + " answering but not as a unit";
}

}  // namespace

std::optional<AddressRange> parseRange(std::string_view text, std::string& error) {
    return platform::parseIpv4Range(text, error);
}

std::uint64_t addressCount(std::vector<AddressRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const AddressRange& a, const AddressRange& b) { return a.first < b.first; });
    std::uint64_t count = 0;
    std::optional<std::uint64_t> covered;  // the last address counted so far
    for (const AddressRange& r : ranges) {
        std::uint64_t first = r.first, last = r.last;
        if (covered && first <= *covered)
            first = *covered + 1;
        if (first <= last)
            count += last - first + 1;
        covered = std::max(covered.value_or(0), last);
    }
    return count;
}

std::string safeName(std::string_view unitId) {
    std::string name;
    for (char c : unitId) {
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
        if (name.empty() && c == '.')
            continue;
        name += safe ? c : '_';
        if (name.size() == kLongestStem)
            break;
    }
    return name;
}

std::string discoveredInventory(const std::vector<FoundUnit>& units, std::uint16_t port,
                                const std::string& heading) {
    std::string text = "# " + heading + "\n";
    std::set<std::string> taken;
    // Every address is taken first: a name equal to any unit's address would
    // name the same backup file as an unnamed unit there.
    for (const FoundUnit& unit : units) taken.insert(platform::dotted(unit.address));
    auto lowered = [](std::string name) {
        for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        return name;
    };
    for (const FoundUnit& unit : units) {
        std::string line = platform::dotted(unit.address);
        if (port != 0)
            line += ":" + std::to_string(port);
        std::string name = safeName(unit.unitId);
        if (!name.empty() && platform::parseIpv4(name))
            name = safeName("unit-" + name);
        if (!name.empty()) {
            std::string unique = name;
            for (int n = 2; !taken.insert(lowered(unique)).second; ++n) {
                std::string suffix = "-" + std::to_string(n);
                unique = name.substr(0, kLongestStem - suffix.size()) + suffix;
            }
            line += "  " + unique;
        }
        text += line + "\n";
    }
    return text;
}

int runDiscover(const DiscoverSettings& settings, std::FILE* out, std::FILE* err) {
    std::vector<AddressRange> ranges;
    for (const std::string& text : settings.ranges) {
        std::string error;
        std::optional<AddressRange> range = parseRange(text, error);
        if (!range) {
            std::fprintf(err, "unitfleet: %s\n", error.c_str());
            return 2;
        }
        ranges.push_back(*range);
    }
    std::uint64_t total = addressCount(ranges);
    if (total > kDiscoverForcedLimit) {
        std::fprintf(err, "unitfleet: the ranges hold %llu addresses; at most %zu can be tried\n",
                     static_cast<unsigned long long>(total), kDiscoverForcedLimit);
        return 2;
    }
    if (total > kDiscoverLimit && !settings.force) {
        std::fprintf(err,
                     "unitfleet: the ranges hold %llu addresses, more than %zu; give --force to "
                     "try them all\n",
                     static_cast<unsigned long long>(total), kDiscoverLimit);
        return 2;
    }
    std::vector<platform::Ipv4> addresses;
    std::set<platform::Ipv4> seen;
    for (const AddressRange& range : ranges) {
        for (platform::Ipv4 a = range.first;; ++a) {
            if (seen.insert(a).second)
                addresses.push_back(a);
            if (a == range.last)
                break;
        }
    }
    auto timeout =
        std::chrono::milliseconds(static_cast<long long>(settings.timeoutSeconds * 1000));
    std::vector<Found> found(addresses.size());
    std::string threadError;
    std::size_t tried = forEachIndex(
        addresses.size(), workersWithinLimit(settings.jobs, err),
        [&](std::size_t i, protocol::ClientSession& session) {
            ModeAnswer answer =
                askMode(session, platform::dotted(addresses[i]), settings.port, "UnitID", timeout);
            found[i] = {answer.named, answer.status, std::move(answer.value)};
        },
        threadError);
    if (tried < addresses.size()) {
        std::fprintf(err, "unitfleet: no worker thread could be started: %s\n",
                     threadError.c_str());
        return 1;
    }
    std::vector<FoundUnit> units;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (found[i].unit)
            units.push_back({addresses[i], found[i].unitId});
    }
    std::string heading = "units found by unitfleet discover";
    for (const std::string& text : settings.ranges) heading += " " + text;
    std::string inventory = discoveredInventory(units, settings.port, heading);
    if (settings.output.empty()) {
        std::fputs(inventory.c_str(), out);
        std::fflush(out);
    } else if (std::string error; !writeOutputFile(settings.output, inventory, error)) {
        std::fprintf(err, "unitfleet: cannot write the inventory: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(err, "discover: %s, %s, %zu without (%s)\n",
                 countOf(addresses.size(), "address", "addresses").c_str(),
                 countOf(units.size(), "unit", "units").c_str(), addresses.size() - units.size(),
                 withoutUnits(found).c_str());
    std::fflush(err);
    return 0;
}

}  // namespace unitfleet
