// SPDX-License-Identifier: Apache-2.0
#include "platform/event_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <optional>

namespace platform {

namespace {

constexpr int kEventsPerRound = 256;

std::uint32_t interest(bool read, bool write) {
    return (read ? EPOLLIN : 0u) | (write ? EPOLLOUT : 0u);
}

}  // namespace

EventLoop::EventLoop() {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll_ < 0 || wake_ < 0) {
        error_ = std::string("cannot make an event loop: ") + std::strerror(errno);
        return;
    }
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = nullptr;  // the wake-up descriptor is the only one without a handler
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &ev) != 0)
        error_ = std::string("cannot make an event loop: ") + std::strerror(errno);
}

EventLoop::~EventLoop() {
    if (epoll_ >= 0)
        ::close(epoll_);
    if (wake_ >= 0)
        ::close(wake_);
}

bool EventLoop::watch(int fd, Handler& handler, bool read, bool write) {
    epoll_event ev{};
    ev.events = interest(read, write);
    ev.data.ptr = &handler;
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0)
        return false;
    ++watched_;
    std::erase(gone_, &handler);  // a handler watched anew takes its events again
    return true;
}

bool EventLoop::change(int fd, Handler& handler, bool read, bool write) {
    epoll_event ev{};
    ev.events = interest(read, write);
    ev.data.ptr = &handler;
    return ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev) == 0;
}

void EventLoop::unwatch(int fd, Handler& handler) {
    if (::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr) == 0)
        --watched_;
    gone_.push_back(&handler);
}

EventLoop::TimerId EventLoop::at(Clock::time_point due, Task task) {
    TimerId id = nextTimer_++;
    timers_.emplace(std::make_pair(due, id), std::move(task));
    dueOf_.emplace(id, due);
    return id;
}

void EventLoop::cancel(TimerId id) {
    auto it = dueOf_.find(id);
    if (it == dueOf_.end())
        return;
    timers_.erase({it->second, id});
    dueOf_.erase(it);
}

void EventLoop::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }
    wakeUp();
}

void EventLoop::quit() {
    quit_ = true;
    wakeUp();
}

void EventLoop::wakeUp() {
    std::uint64_t one = 1;
    while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void EventLoop::runPosted() {
    std::vector<Task> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(posted_);
    }
    for (Task& task : tasks) task();
}

void EventLoop::runDueTimers() {
    auto now = Clock::now();
    while (!timers_.empty() && timers_.begin()->first.first <= now) {
        auto first = timers_.begin();
        Task task = std::move(first->second);
        dueOf_.erase(first->first.second);
        timers_.erase(first);
        task();
    }
}

// A wait rounded up to whole milliseconds (all epoll_wait takes) makes a
// timer due in 0.1 ms fire a millisecond late whenever no other event comes
// first; under load every reply of a simulated unit was late by that much.
int EventLoop::waitForEvents(epoll_event* events, int most) {
    std::optional<Clock::duration> left;
    if (!timers_.empty())
        left = std::max(timers_.begin()->first.first - Clock::now(), Clock::duration::zero());
    if (!wholeMilliseconds_) {
        timespec wait{};
        if (left) {
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*left).count();
            wait.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            wait.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        }
        int n = ::epoll_pwait2(epoll_, events, most, left ? &wait : nullptr, nullptr);
        if (n >= 0 || errno != ENOSYS)
            return n;
        wholeMilliseconds_ = true;  // a kernel older than 5.11
    }
    int ms = -1;
    if (left) {
        auto up = std::chrono::ceil<std::chrono::milliseconds>(*left).count();
        ms = static_cast<int>(std::min<long long>(up, 60000));
    }
    return ::epoll_wait(epoll_, events, most, ms);
}

void EventLoop::run() {
    epoll_event events[kEventsPerRound];
    while (!quit_) {
        int n = waitForEvents(events, kEventsPerRound);
        if (n < 0 && errno != EINTR)
            break;
        gone_.clear();
        for (int i = 0; i < n; ++i) {
            auto* handler = static_cast<Handler*>(events[i].data.ptr);
            if (!handler) {
                std::uint64_t count = 0;
                while (::read(wake_, &count, sizeof count) < 0 && errno == EINTR) {
                }
                continue;
            }
            if (std::find(gone_.begin(), gone_.end(), handler) != gone_.end())
                continue;
            std::uint32_t e = events[i].events;
            handler->onReady((e & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0, (e & EPOLLOUT) != 0);
        }
        gone_.clear();
        runPosted();
        runDueTimers();
    }
    runPosted();
}

LoopThread::~LoopThread() {
    stop();
}

bool LoopThread::start(std::string& error) {
    if (!loop_.valid()) {
        error = loop_.error();
        return false;
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { loop_.run(); });
    return true;
}

void LoopThread::stop() {
    if (!thread_.joinable())
        return;
    loop_.quit();
    thread_.join();
}

void LoopThread::call(const std::function<void()>& task) {
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) {
        task();
        return;
    }
    std::promise<void> done;
    loop_.post([&] {
        task();
        done.set_value();
    });
    done.get_future().wait();
}

}  // namespace platform
