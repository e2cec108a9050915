#include "unitfleet/pool.h"

#include <algorithm>
#include <atomic>

#include "unitfleet/worker_threads.h"

namespace unitfleet {

std::size_t forEachIndex(std::size_t count, int workers, const IndexFn& work, std::string& whyNot) {
    std::atomic<std::size_t> next{0};
    std::function<void()> worker = [&] {
        protocol::ClientSession session;
        for (std::size_t i = next++; i < count; i = next++) work(i, session);
    };
    std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)), 1,
                                                  std::max<std::size_t>(count, 1));
    WorkerThreads pool;
    pool.start(threads, worker, whyNot);
    pool.joinAll();
    return std::min<std::size_t>(next, count);
}

}  // namespace unitfleet
