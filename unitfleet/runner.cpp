#include "unitfleet/runner.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "protocol/text.h"

namespace unitfleet {

std::vector<UnitResult> runAll(Command command, const std::vector<InventoryUnit>& units,
                               const WorkSettings& settings, int workers,
                               const FinishedFn& finished) {
    std::vector<UnitResult> results(units.size());
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::size_t done = 0, failed = 0;
    auto worker = [&] {
        protocol::ClientSession session;
        for (std::size_t i = next++; i < units.size(); i = next++) {
            UnitResult result = workOnUnit(command, units[i], settings, session);
            std::lock_guard lock(mutex);
            results[i] = std::move(result);
            ++done;
            failed += isFailure(results[i].outcome) ? 1 : 0;
            if (finished)
                finished(i, results[i], done, failed);
        }
    };
    std::size_t count = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)), 1,
                                                std::max<std::size_t>(units.size(), 1));
    std::vector<std::jthread> pool;
    std::string whyNot;
    try {
        pool.reserve(count);
        for (std::size_t i = 0; i < count; ++i) pool.emplace_back(worker);
    } catch (const std::system_error& e) {
        // The workers that did start take every unit; only when none did is
        // there a unit left without one.
        whyNot = e.what();
    } catch (const std::bad_alloc&) {
        whyNot = "out of memory";
    }
    pool.clear();  // joins
    for (std::size_t i = next; i < units.size(); i = ++next) {
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
        std::fprintf(stream_, "unitfleet: [%zu/%zu] %s: %s\n", done, units_.size(),
                     units_[index].label().c_str(),
                     protocol::escapeControls(reasonText(result)).c_str());
        std::fflush(stream_);
        return;
    }
    // A few updates a second are enough for the eye, and cheap for 1,000 units.
    if (done != units_.size() && now - shown_ < milliseconds(100))
        return;
    shown_ = now;
    double seconds = duration<double>(now - start_).count();
    std::fprintf(stream_, "\r\033[K%zu/%zu done, %zu failed, %.1f units/s", done, units_.size(),
                 failed, seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    std::fflush(stream_);
}

void Progress::end() {
    if (terminal_) {
        std::fprintf(stream_, "\r\033[K");
        std::fflush(stream_);
    }
}

}  // namespace unitfleet
