// SPDX-License-Identifier: Apache-2.0
// An event loop: one thread waits for many descriptors and timers at once
// (epoll on Linux) and calls the handler of each one that is ready. It lets a
// few threads serve thousands of listening and connected sockets, where a
// thread per socket would run out of threads and memory long before.
// Linux only: nothing built for Windows uses it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct epoll_event;

namespace platform {

class EventLoop {
  public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    // What a watched descriptor calls when it is ready. `readable` is also set
    // on a hang-up or an error, so that the receive then tells what happened.
    struct Handler {
        virtual ~Handler() = default;
        virtual void onReady(bool readable, bool writable) = 0;
    };

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // False when the system refused the loop's own descriptors; `error()` says why.
    bool valid() const { return epoll_ >= 0 && wake_ >= 0; }
    const std::string& error() const { return error_; }

    // The calls below, but for post() and quit(), belong to the loop's thread
    // (or to the owner before run() starts). Level-triggered: a descriptor
    // stays ready until its input is read or its room is filled.
    bool watch(int fd, Handler& handler, bool read, bool write);
    bool change(int fd, Handler& handler, bool read, bool write);
    // Stops watching; an event of this round already fetched for the handler
    // is dropped, so the handler may be destroyed right after.
    void unwatch(int fd, Handler& handler);

    // Runs `task` once at `due` (or soon after); cancel() before then stops it.
    TimerId at(Clock::time_point due, Task task);
    void cancel(TimerId id);

    // Any thread: runs `task` on the loop's thread soon.
    void post(Task task);
    // Runs until quit() is called (from any thread).
    void run();
    void quit();

    std::size_t watched() const { return watched_; }

  private:
    void wakeUp();
    void runPosted();
    void runDueTimers();
    // Waits for events until the first timer is due, to the nanosecond.
    int waitForEvents(epoll_event* events, int most);

    int epoll_ = -1;
    bool wholeMilliseconds_ = false;  // the kernel has no epoll_pwait2
    int wake_ = -1;  // an eventfd: a post or quit from another thread
    std::string error_;
    std::size_t watched_ = 0;
    std::vector<Handler*> gone_;  // unwatched while this round's events are handed out

    std::mutex mutex_;
    std::vector<Task> posted_;
    std::atomic<bool> quit_{false};

    TimerId nextTimer_ = 1;
    std::map<std::pair<Clock::time_point, TimerId>, Task> timers_;
    std::unordered_map<TimerId, Clock::time_point> dueOf_;
};

// An event loop with a thread of its own.
class LoopThread {
  public:
    LoopThread() = default;
    ~LoopThread();  // stops
    LoopThread(const LoopThread&) = delete;
    LoopThread& operator=(const LoopThread&) = delete;

    // Starts the thread; false and the reason in `error` when the loop could
    // not be made.
    bool start(std::string& error);
    void stop();
    bool running() const { return thread_.joinable(); }
    EventLoop& loop() { return loop_; }

    // Runs `task` on the loop's thread and waits until it has run; at once
    // when called on that thread or when the loop is not running.
    void call(const std::function<void()>& task);

  private:
    EventLoop loop_;
    std::thread thread_;
};

}  // namespace platform
