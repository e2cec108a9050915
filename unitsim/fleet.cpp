#include "unitsim/fleet.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <thread>

#include "net/event_loop.h"
#include "net/socket.h"

namespace unitsim {

namespace {

constexpr net::Ipv4 kCountStart = 0x7F000101;  // 127.0.1.1

std::optional<std::size_t> wholeNumber(std::string_view text) {
    std::size_t n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

std::optional<net::Ipv4> dottedAddress(const std::string& text) {
    int dots = 0;
    for (char c : text) {
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return std::nullopt;
    }
    if (dots != 3)
        return std::nullopt;
    return net::lookupHost(text);
}

std::vector<std::string> addressesFrom(net::Ipv4 first, std::size_t count) {
    std::vector<std::string> list;
    list.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(net::dotted(first + static_cast<net::Ipv4>(i)));
    return list;
}

void merge(Faults& into, const Faults& more) {
    into.keepAlivesBeforeReply = std::max(into.keepAlivesBeforeReply, more.keepAlivesBeforeReply);
    into.refusedModes.insert(into.refusedModes.end(), more.refusedModes.begin(),
                             more.refusedModes.end());
    if (!more.driftingMode.empty())
        into.driftingMode = more.driftingMode;
    into.replyDelay = std::max(into.replyDelay, more.replyDelay);
    into.dropMidFrame = into.dropMidFrame || more.dropMidFrame;
    into.oversizedLength = into.oversizedLength || more.oversizedLength;
    into.silent = into.silent || more.silent;
}

}  // namespace

std::optional<std::vector<std::string>> parseAddressList(const std::string& text,
                                                         std::string& error) {
    if (std::optional<std::size_t> count = wholeNumber(text)) {
        if (*count == 0 || *count > kMaxUnits) {
            error = "unit count '" + text + "' is not 1 to " + std::to_string(kMaxUnits);
            return std::nullopt;
        }
        return addressesFrom(kCountStart, *count);
    }
    std::size_t dash = text.find('-');
    if (dash == std::string::npos)
        return std::vector<std::string>{text};
    std::optional<net::Ipv4> first = dottedAddress(text.substr(0, dash));
    std::optional<net::Ipv4> last = dottedAddress(text.substr(dash + 1));
    if (!first || !last || *last < *first) {
        error = "bad address range '" + text + "' (A-B, dotted addresses, A first)";
        return std::nullopt;
    }
    std::size_t count = std::size_t{*last - *first} + 1;
    if (count > kMaxUnits) {
        error =
            "address range '" + text + "' holds more than " + std::to_string(kMaxUnits) + " units";
        return std::nullopt;
    }
    return addressesFrom(*first, count);
}

std::optional<FaultShare> parseShare(const std::string& text) {
    std::size_t plus = text.find('+');
    std::optional<std::size_t> every = wholeNumber(std::string_view(text).substr(0, plus));
    std::optional<std::size_t> offset = std::size_t{0};
    if (plus != std::string::npos)
        offset = wholeNumber(std::string_view(text).substr(plus + 1));
    if (!every || !offset || *every == 0 || *offset >= *every)
        return std::nullopt;
    FaultShare share;
    share.every = *every;
    share.offset = *offset;
    return share;
}

Faults faultsFor(std::size_t index, const Faults& common, const std::vector<FaultShare>& shares) {
    Faults faults = common;
    for (const FaultShare& share : shares) {
        if (index % share.every == share.offset)
            merge(faults, share.faults);
    }
    return faults;
}

std::string journalPathFor(const std::string& pattern, const std::string& address, bool many) {
    if (pattern.empty())
        return pattern;
    std::size_t at = pattern.find("%a");
    if (at != std::string::npos)
        return pattern.substr(0, at) + address + pattern.substr(at + 2);
    return many ? pattern + "." + address : pattern;
}

std::size_t descriptorsFor(std::size_t units) {
    return units + 1024;
}

std::optional<UnitGroup> UnitGroup::start(std::vector<Options> list, std::string& error) {
    UnitGroup group;
    std::size_t threads =
        list.size() == 1 ? 1 : std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4);
    for (std::size_t i = 0; i < threads; ++i) {
        group.loops_.push_back(std::make_unique<net::LoopThread>());
        if (!group.loops_.back()->start(&error))
            return std::nullopt;
    }
    group.units_.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        net::LoopThread& loop = *group.loops_[i % threads];
        group.units_.push_back(std::make_unique<Unit>(std::move(list[i]), loop));
        if (!group.units_.back()->start(&error))
            return std::nullopt;
    }
    return group;
}

UnitGroup::~UnitGroup() {
    stop();
}

void UnitGroup::stop() {
    for (auto& unit : units_) unit->stop();
    units_.clear();
    for (auto& loop : loops_) loop->stop();
}

bool raiseOpenFileLimit(std::size_t needed) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur >= needed)
        return true;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed)
        return false;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? needed : limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

}  // namespace unitsim
