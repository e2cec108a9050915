#include "unitfleet/discover.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "unitfleet/atomic_file.h"
#include "unitfleet/mode_question.h"
#include "unitfleet/pool.h"

namespace unitfleet {

namespace {

using Status = protocol::ClientSession::Status;

std::optional<long> number(std::string_view text, long most) {
    long value = -1;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.size() > 3 || error != std::errc() || at != end || value > most)
        return std::nullopt;
    return value;
}

// Dotted IPv4 only: a range names addresses, not hosts.
std::optional<net::Ipv4> dottedAddress(std::string_view text) {
    net::Ipv4 address = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos)
            return std::nullopt;
        std::optional<long> octet = number(text.substr(0, dot), 255);
        if (!octet)
            return std::nullopt;
        address = (address << 8) | static_cast<net::Ipv4>(*octet);
        text.remove_prefix(std::min(text.size(), dot + 1));
    }
    return address;
}

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

// Inventory lines of the units found; a name taken twice gets -2, -3, ...
std::string inventoryOf(const std::vector<net::Ipv4>& addresses, const std::vector<Found>& found,
                        const std::string& heading) {
    std::string text = "# " + heading + "\n";
    std::set<std::string> taken;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (!found[i].unit)
            continue;
        std::string line = net::dotted(addresses[i]);
        if (std::string name = safeName(found[i].unitId); !name.empty()) {
            std::string lowered = name;
            for (char& c : lowered) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
            std::string unique = name, key = lowered;
            for (int n = 2; !taken.insert(key).second; ++n) {
                unique = name + "-" + std::to_string(n);
                key = lowered + "-" + std::to_string(n);
            }
            line += "  " + unique;
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace

std::optional<AddressRange> parseRange(std::string_view text, std::string& error) {
    error = "range '" + std::string(text) + "' is not A-B, A/N or one dotted IPv4 address";
    AddressRange range;
    if (std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        std::optional<net::Ipv4> base = dottedAddress(text.substr(0, slash));
        std::optional<long> bits = number(text.substr(slash + 1), 32);
        if (!base || !bits)
            return std::nullopt;
        net::Ipv4 mask = *bits == 0 ? 0 : ~net::Ipv4{0} << (32 - *bits);
        range.first = *base & mask;
        range.last = range.first | ~mask;
    } else if (std::size_t dash = text.find('-'); dash != std::string_view::npos) {
        std::optional<net::Ipv4> first = dottedAddress(text.substr(0, dash));
        std::optional<net::Ipv4> last = dottedAddress(text.substr(dash + 1));
        if (!first || !last)
            return std::nullopt;
        if (*last < *first) {
            error = "range '" + std::string(text) + "' ends before it starts";
            return std::nullopt;
        }
        range = {*first, *last};
    } else if (std::optional<net::Ipv4> one = dottedAddress(text)) {
        range = {*one, *one};
    } else {
        return std::nullopt;
    }
    error.clear();
    return range;
}

std::string safeName(std::string_view unitId) {
    std::string name;
    for (char c : unitId) {
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
        if (name.empty() && c == '.')
            continue;
        name += safe ? c : '_';
    }
    return name;
}

int runDiscover(const DiscoverSettings& settings, std::FILE* out, std::FILE* err) {
    std::vector<net::Ipv4> addresses;
    std::set<net::Ipv4> seen;
    std::size_t total = 0;
    std::vector<AddressRange> ranges;
    for (const std::string& text : settings.ranges) {
        std::string error;
        std::optional<AddressRange> range = parseRange(text, error);
        if (!range) {
            std::fprintf(err, "unitfleet: %s\n", error.c_str());
            return 2;
        }
        total += static_cast<std::size_t>(range->last - range->first) + 1;
        ranges.push_back(*range);
    }
    if (total > kDiscoverForcedLimit) {
        std::fprintf(err, "unitfleet: the ranges hold %zu addresses; at most %zu can be tried\n",
                     total, kDiscoverForcedLimit);
        return 2;
    }
    if (total > kDiscoverLimit && !settings.force) {
        std::fprintf(err,
                     "unitfleet: the ranges hold %zu addresses, more than %zu; give --force to "
                     "try them all\n",
                     total, kDiscoverLimit);
        return 2;
    }
    for (const AddressRange& range : ranges) {
        for (net::Ipv4 a = range.first;; ++a) {
            if (seen.insert(a).second)
                addresses.push_back(a);
            if (a == range.last)
                break;
        }
    }
    auto timeout =
        std::chrono::milliseconds(static_cast<long long>(settings.timeoutSeconds * 1000));
    std::vector<Found> found(addresses.size());
    std::string whyNot;
    std::size_t tried = forEachIndex(
        addresses.size(), settings.jobs,
        [&](std::size_t i, protocol::ClientSession& session) {
            ModeAnswer answer = askMode(session, net::dotted(addresses[i]), "UnitID", timeout);
            found[i] = {answer.named, answer.status, std::move(answer.value)};
        },
        whyNot);
    if (tried < addresses.size()) {
        std::fprintf(err, "unitfleet: no worker thread could be started: %s\n", whyNot.c_str());
        return 1;
    }
    std::size_t units = static_cast<std::size_t>(
        std::count_if(found.begin(), found.end(), [](const Found& f) { return f.unit; }));
    std::string heading = "units found by unitfleet discover";
    for (const std::string& text : settings.ranges) heading += " " + text;
    std::string inventory = inventoryOf(addresses, found, heading);
    if (settings.output.empty()) {
        std::fputs(inventory.c_str(), out);
        std::fflush(out);
    } else if (std::string error; !writeFileAtomically(settings.output, inventory, false, error)) {
        std::fprintf(err, "unitfleet: cannot write the inventory: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(err, "discover: %zu addresses, %zu units, %zu without (%s)\n", addresses.size(),
                 units, addresses.size() - units, withoutUnits(found).c_str());
    std::fflush(err);
    return 0;
}

}  // namespace unitfleet
