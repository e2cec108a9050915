// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/pool.h"

#include <algorithm>
#include <atomic>

#include "platform/worker_threads.h"

namespace unitfleet {

std::size_t forEachIndex(std::size_t count, int workers, const IndexFn& work, std::string& error,
                         const RunControl* control) {
    std::atomic<std::size_t> next{0};
    std::function<void()> worker = [&] {
        protocol::ClientSession session;
        // A stop signal ends the taking of new indexes; those taken finish.
        while (!stopAsked(control)) {
            std::size_t i = next++;
            if (i >= count)
                break;
            work(i, session);
        }
    };
    std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)), 1,
                                                  std::max<std::size_t>(count, 1));
    platform::WorkerThreads pool;
    pool.start(threads, worker, error);
    pool.joinAll();
    return std::min<std::size_t>(next, count);
}

}  // namespace unitfleet
