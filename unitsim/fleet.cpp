// SPDX-License-Identifier: Apache-2.0
#include "unitsim/fleet.h"

#include <algorithm>
#include <thread>

#include "platform/event_loop.h"
#include "platform/parse.h"
#include "platform/socket.h"

namespace unitsim {

namespace {

constexpr platform::Ipv4 kCountStart = 0x7F000101;  // 127.0.1.1

std::vector<std::string> addressesFrom(platform::Ipv4 first, std::size_t count) {
    std::vector<std::string> list;
    list.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(platform::dotted(first + static_cast<platform::Ipv4>(i)));
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
    bool digitsOnly = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (digitsOnly) {
        std::optional<std::uint64_t> count = platform::parseUnsigned(text, kMaxUnits);
        if (!count || *count == 0) {
            error = "unit count '" + text + "' is not 1 to " + std::to_string(kMaxUnits);
            return std::nullopt;
        }
        return addressesFrom(kCountStart, *count);
    }
    if (text.find_first_of("-/") == std::string::npos)
        return std::vector<std::string>{text};
    std::string why;
    std::optional<platform::Ipv4Range> range = platform::parseIpv4Range(text, why);
    if (!range) {
        error = "bad address range '" + text + "' (A-B or A/N, dotted addresses, A first)";
        return std::nullopt;
    }
    if (range->size() > kMaxUnits) {
        error =
            "address range '" + text + "' holds more than " + std::to_string(kMaxUnits) + " units";
        return std::nullopt;
    }
    return addressesFrom(range->first, static_cast<std::size_t>(range->size()));
}

std::optional<FaultShare> parseFaultShare(const std::string& text) {
    std::size_t plus = text.find('+');
    std::string_view view(text);
    std::optional<std::uint64_t> every = platform::parseUnsigned(view.substr(0, plus), kMaxUnits);
    std::optional<std::uint64_t> offset = std::uint64_t{0};
    if (plus != std::string::npos)
        offset = platform::parseUnsigned(view.substr(plus + 1), kMaxUnits);
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
        group.loops_.push_back(std::make_unique<platform::LoopThread>());
        if (!group.loops_.back()->start(error))
            return std::nullopt;
    }
    group.units_.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        platform::LoopThread& loop = *group.loops_[i % threads];
        group.units_.push_back(std::make_unique<Unit>(std::move(list[i]), loop));
        if (!group.units_.back()->start(error))
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

}  // namespace unitsim
