// SPDX-License-Identifier: Apache-2.0
// Windows twin of worker_threads.cpp: the system's own thread stacks (1 MiB,
// taken page by page) are small already.
#include <new>
#include <system_error>
#include <thread>

#include "platform/worker_threads.h"

namespace platform {

struct WorkerThreads::Thread {
    std::thread thread;
};

WorkerThreads::WorkerThreads() = default;

WorkerThreads::~WorkerThreads() {
    joinAll();
}

std::size_t WorkerThreads::start(std::size_t count, const std::function<void()>& work,
                                 std::string& error) {
    std::size_t started = 0;
    try {
        threads_.reserve(threads_.size() + count);
        for (; started < count; ++started) {
            auto thread = std::make_unique<Thread>();
            thread->thread = std::thread([&work] { work(); });
            threads_.push_back(std::move(thread));
        }
    } catch (const std::system_error& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    return started;
}

void WorkerThreads::joinAll() {
    for (const std::unique_ptr<Thread>& thread : threads_) thread->thread.join();
    threads_.clear();
}

}  // namespace platform
