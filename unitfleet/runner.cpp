#include "unitfleet/runner.h"

#include <mutex>
#include <string>

#include "protocol/text.h"
#include "unitfleet/pool.h"

namespace unitfleet {

std::vector<UnitResult> runAll(Command command, const std::vector<InventoryUnit>& units,
                               const WorkSettings& settings, int workers,
                               const FinishedFn& finished) {
    std::vector<UnitResult> results(units.size());
    std::mutex mutex;
    std::size_t done = 0, failed = 0;
    std::string whyNot;
    std::size_t first = forEachIndex(
        units.size(), workers,
        [&](std::size_t i, protocol::ClientSession& session) {
            UnitResult result = workOnUnit(command, units[i], settings, session);
            std::lock_guard lock(mutex);
            results[i] = std::move(result);
            ++done;
            failed += isFailure(results[i].outcome) ? 1 : 0;
            if (finished)
                finished(i, results[i], done, failed);
        },
        whyNot);
    for (std::size_t i = first; i < units.size(); ++i) {
        results[i].outcome = Outcome::NotRun;
        results[i].detail = "no worker thread could be started: " + whyNot;
        ++done;
        ++failed;
        if (finished)
            finished(i, results[i], done, failed);
    }
    return results;
}

Progress::Progress(std::FILE* stream, bool terminal, const std::vector<InventoryUnit>& units)
    : stream_(stream), terminal_(terminal), units_(units) {}

void Progress::finished(std::size_t index, const UnitResult& result, std::size_t done,
                        std::size_t failed) {
    using namespace std::chrono;
    auto now = steady_clock::now();
    if (!terminal_) {
        std::fprintf(stream_, "unitfleet: %s[%zu/%zu] %s: %s\n", batch_.c_str(), done,
                     units_.size(), units_[index].label().c_str(),
                     protocol::escapeControls(reasonText(result)).c_str());
        std::fflush(stream_);
        return;
    }
    // A few updates a second are enough for the eye, and cheap for 1,000 units.
    if (done != units_.size() && now - shown_ < milliseconds(100))
        return;
    shown_ = now;
    double seconds = duration<double>(now - start_).count();
    std::fprintf(stream_, "\r\033[K%s%zu/%zu done, %zu failed, %.1f units/s", batch_.c_str(), done,
                 units_.size(), failed, seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    std::fflush(stream_);
}

void Progress::end() {
    if (terminal_) {
        std::fprintf(stream_, "\r\033[K");
        std::fflush(stream_);
    }
}

void Progress::setBatch(std::size_t batch, std::size_t batches) {
    batch_ = "batch " + std::to_string(batch) + "/" + std::to_string(batches) + " ";
}

}  // namespace unitfleet
