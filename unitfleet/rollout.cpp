// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/rollout.h"

#include <algorithm>

#include "platform/parse.h"
#include "platform/stop_signals.h"

namespace unitfleet {

namespace {

std::size_t shareOf(std::size_t units, Share share, bool roundUp) {
    auto value = static_cast<std::size_t>(share.value);
    if (!share.percent)
        return value;
    return (units * value + (roundUp ? 99 : 0)) / 100;
}

}  // namespace

std::optional<Share> parseShare(std::string_view text) {
    Share share;
    if (!text.empty() && text.back() == '%') {
        share.percent = true;
        text.remove_suffix(1);
    }
    std::optional<std::uint64_t> value = platform::parseUnsigned(text, share.percent ? 100 : 1000000);
    if (!value)
        return std::nullopt;
    share.value = static_cast<long>(*value);
    return share;
}

std::vector<std::size_t> batchSizes(std::size_t units, const RolloutPlan& plan) {
    std::vector<std::size_t> sizes;
    std::size_t left = units;
    if (plan.canary > 0 && left > 0) {
        sizes.push_back(std::min(plan.canary, left));
        left -= sizes.back();
    }
    std::size_t size = plan.batch ? std::max<std::size_t>(shareOf(units, *plan.batch, true), 1)
                                  : std::max<std::size_t>(left, 1);
    while (left > 0) {
        sizes.push_back(std::min(size, left));
        left -= sizes.back();
    }
    return sizes;
}

std::size_t failureCeiling(std::size_t units, Share maxFail) {
    return shareOf(units, maxFail, false);
}

Rollout runRollout(Command command, const std::vector<InventoryUnit>& units,
                   const WorkSettings& settings, int workers, const RolloutPlan& plan,
                   const FinishedFn& finished) {
    Rollout rollout;
    rollout.results.resize(units.size());
    std::vector<std::size_t> sizes = batchSizes(units.size(), plan);
    rollout.batches = sizes.size();
    rollout.ceiling = plan.maxFail ? failureCeiling(units.size(), *plan.maxFail) : units.size();
    std::size_t start = 0;
    for (std::size_t batch = 0; batch < sizes.size() && !stopAsked(settings.control); ++batch) {
        runRange(command, units, start, sizes[batch], settings, workers, rollout.results,
                 [&](std::size_t i, const UnitResult& r) {
                     rollout.failed += isFailure(r.outcome) ? 1 : 0;
                     if (finished)
                         finished(i, r);
                 });
        start += sizes[batch];
        if (start < units.size() && rollout.failed > rollout.ceiling) {
            rollout.stoppedAfter = batch + 1;
            break;
        }
    }
    rollout.signal = platform::stopSignal();
    rollout.stopRequested = rollout.signal == 0 && stopAsked(settings.control);
    std::string why = "rollout stopped after batch " + std::to_string(rollout.stoppedAfter);
    for (std::size_t i = start; i < units.size(); ++i) {
        UnitResult& result = rollout.results[i];
        result.outcome = rollout.stoppedAfter == 0 ? Outcome::Interrupted : Outcome::NotAttempted;
        result.detail = rollout.stoppedAfter == 0 ? "before it was contacted" : why;
    }
    return rollout;
}

std::string stopText(const Rollout& rollout) {
    if (rollout.stoppedAfter == 0)
        return {};
    return "stopped after batch " + std::to_string(rollout.stoppedAfter) + " of " +
           std::to_string(rollout.batches) + ": " + std::to_string(rollout.failed) +
           (rollout.failed == 1 ? " unit" : " units") + " failed, at most " +
           std::to_string(rollout.ceiling) + " may";
}

}  // namespace unitfleet
