// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/runner.h"

#include <mutex>
#include <string>

#include "protocol/text.h"
#include "unitfleet/pool.h"

namespace unitfleet {

void runRange(Command command, const std::vector<InventoryUnit>& units, std::size_t first,
              std::size_t count, const WorkSettings& settings, int workers,
              std::vector<UnitResult>& results, const FinishedFn& finished) {
    std::mutex mutex;
    std::string threadError;
    std::size_t taken = forEachIndex(
        count, workers,
        [&](std::size_t k, protocol::ClientSession& session) {
            std::size_t i = first + k;
            if (settings.control != nullptr && settings.control->started)
                settings.control->started(i);
            UnitResult result = workOnUnit(command, i, units[i], settings, session);
            std::lock_guard lock(mutex);
            results[i] = std::move(result);
            if (finished)
                finished(i, results[i]);
        },
        threadError, settings.control);
    bool stopped = stopAsked(settings.control);
    for (std::size_t k = taken; k < count; ++k) {
        UnitResult& result = results[first + k];
        result.outcome = stopped ? Outcome::Interrupted : Outcome::NotRun;
        result.detail = stopped ? "before it was contacted"
                                : "no worker thread could be started: " + threadError;
        if (finished)
            finished(first + k, result);
    }
}

std::vector<UnitResult> runAll(Command command, const std::vector<InventoryUnit>& units,
                               const WorkSettings& settings, int workers,
                               const FinishedFn& finished) {
    std::vector<UnitResult> results(units.size());
    runRange(command, units, 0, units.size(), settings, workers, results, finished);
    return results;
}

namespace {

// "batch 2/5 " for the unit at `index`, or nothing without batches.
std::string batchOf(const std::vector<std::size_t>& sizes, std::size_t index) {
    if (sizes.size() < 2)
        return {};
    std::size_t end = 0;
    for (std::size_t b = 0; b < sizes.size(); ++b) {
        end += sizes[b];
        if (index < end)
            return "batch " + std::to_string(b + 1) + "/" + std::to_string(sizes.size()) + " ";
    }
    return {};
}

}  // namespace

Progress::Progress(std::FILE* stream, bool terminal, const std::vector<InventoryUnit>& units)
    : stream_(stream), terminal_(terminal), units_(units) {}

void Progress::finished(std::size_t index, const UnitResult& result) {
    using namespace std::chrono;
    ++done_;
    failed_ += isFailure(result.outcome) ? 1 : 0;
    auto now = steady_clock::now();
    if (!terminal_) {
        std::fprintf(stream_, "unitfleet: %s[%zu/%zu] %s: %s\n", batchOf(batches_, index).c_str(),
                     done_, units_.size(), protocol::escapeControls(units_[index].label()).c_str(),
                     protocol::escapeControls(reasonText(result)).c_str());
        std::fflush(stream_);
        return;
    }
    // A few updates a second are enough for the eye, and cheap for 1,000 units.
    if (done_ != units_.size() && now - shown_ < milliseconds(100))
        return;
    shown_ = now;
    double seconds = duration<double>(now - start_).count();
    std::fprintf(stream_, "\r\033[K%s%zu/%zu done, %zu failed, %.1f units/s",
                 batchOf(batches_, index).c_str(), done_, units_.size(), failed_,
                 seconds > 0 ? static_cast<double>(done_) / seconds : 0.0);
    std::fflush(stream_);
}

void Progress::end() {
    if (terminal_) {
        std::fprintf(stream_, "\r\033[K");
        std::fflush(stream_);
    }
}

}  // namespace unitfleet
