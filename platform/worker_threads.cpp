// SPDX-License-Identifier: Apache-2.0
#include "platform/worker_threads.h"

#include <pthread.h>

#include <cstring>
#include <new>

namespace platform {

namespace {

// Ample for a worker: its buffers are on the heap, and the deepest it goes
// is a name look-up through the system's resolver.
constexpr std::size_t kStackBytes = 512 * 1024;

void* runWork(void* work) {
    (*static_cast<const std::function<void()>*>(work))();
    return nullptr;
}

}  // namespace

struct WorkerThreads::Thread {
    pthread_t id{};
};

WorkerThreads::WorkerThreads() = default;

WorkerThreads::~WorkerThreads() {
    joinAll();
}

std::size_t WorkerThreads::start(std::size_t count, const std::function<void()>& work,
                                 std::string& error) {
    try {
        threads_.reserve(threads_.size() + count);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return 0;
    }
    pthread_attr_t attributes;
    if (int code = pthread_attr_init(&attributes); code != 0) {
        error = std::strerror(code);
        return 0;
    }
    pthread_attr_setstacksize(&attributes, kStackBytes);
    std::size_t started = 0;
    for (; started < count; ++started) {
        std::unique_ptr<Thread> thread(new (std::nothrow) Thread);
        if (!thread) {
            error = "out of memory";
            break;
        }
        void* argument = const_cast<std::function<void()>*>(&work);
        if (int code = pthread_create(&thread->id, &attributes, runWork, argument); code != 0) {
            error = std::strerror(code);
            break;
        }
        threads_.push_back(std::move(thread));  // room was reserved: cannot throw
    }
    pthread_attr_destroy(&attributes);
    return started;
}

void WorkerThreads::joinAll() {
    for (const std::unique_ptr<Thread>& thread : threads_) pthread_join(thread->id, nullptr);
    threads_.clear();
}

}  // namespace platform
