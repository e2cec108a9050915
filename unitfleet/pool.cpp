#include "unitfleet/pool.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace unitfleet {

std::size_t forEachIndex(std::size_t count, int workers, const IndexFn& work, std::string& whyNot) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        protocol::ClientSession session;
        for (std::size_t i = next++; i < count; i = next++) work(i, session);
    };
    std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)), 1,
                                                  std::max<std::size_t>(count, 1));
    std::vector<std::jthread> pool;
    try {
        pool.reserve(threads);
        for (std::size_t i = 0; i < threads; ++i) pool.emplace_back(worker);
    } catch (const std::system_error& e) {
        whyNot = e.what();
    } catch (const std::bad_alloc&) {
        whyNot = "out of memory";
    }
    pool.clear();  // joins
    return std::min<std::size_t>(next, count);
}

}  // namespace unitfleet
