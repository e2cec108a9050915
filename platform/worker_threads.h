// SPDX-License-Identifier: Apache-2.0
// The threads of the worker pool. On Linux each gets a small stack of its
// own: a thread with the default 8 MiB stack takes a huge page for it, and
// on a virtual machine starting 64 of them took longer than a unit's reply.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class WorkerThreads {
  public:
    WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    ~WorkerThreads();

    // Starts `count` threads that each run `work` once; `work` must outlive
    // them. When the system refuses one, no more are started and `error`
    // says why. Returns how many run.
    std::size_t start(std::size_t count, const std::function<void()>& work, std::string& error);
    // Waits for every started thread to end.
    void joinAll();

  private:
    struct Thread;
    std::vector<std::unique_ptr<Thread>> threads_;
};

}  // namespace platform
