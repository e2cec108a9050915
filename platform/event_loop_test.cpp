// SPDX-License-Identifier: Apache-2.0
#include "platform/event_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
};

// Reads what is there and remembers it; gives up its watch when told to.
struct Reader : EventLoop::Handler {
    EventLoop& loop;
    int fd;
    std::string got;
    Reader* other = nullptr;  // unwatched by this one's first event
    Reader(EventLoop& l, int f) : loop(l), fd(f) {}
    void onReady(bool readable, bool) override {
        char buffer[64];
        long n = readable ? ::read(fd, buffer, sizeof buffer) : 0;
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        if (other) {
            loop.unwatch(other->fd, *other);
            other = nullptr;
        }
        loop.quit();
    }
};

TEST(EventLoop, TimersRunInTheirOrderAndCancelledOnesNever) {
    EventLoop loop;
    ASSERT_TRUE(loop.valid());
    std::vector<int> order;
    auto now = EventLoop::Clock::now();
    loop.at(now + 30ms, [&] { order.push_back(3); });
    loop.at(now + 10ms, [&] { order.push_back(1); });
    auto dropped = loop.at(now + 20ms, [&] { order.push_back(2); });
    loop.at(now + 40ms, [&] { loop.quit(); });
    loop.cancel(dropped);
    loop.cancel(12345);  // unknown: nothing happens
    loop.run();
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
}

TEST(EventLoop, ADescriptorUnwatchedInTheSameRoundGetsNoEvent) {
    EventLoop loop;
    Pipe a, b;
    Reader first(loop, a.fds[0]), second(loop, b.fds[0]);
    ASSERT_TRUE(loop.watch(a.fds[0], first, true, false));
    ASSERT_TRUE(loop.watch(b.fds[0], second, true, false));
    EXPECT_EQ(loop.watched(), 2u);
    first.other = &second;
    second.other = &first;
    ASSERT_EQ(::write(a.fds[1], "x", 1), 1);
    ASSERT_EQ(::write(b.fds[1], "y", 1), 1);
    loop.run();
    // Both were ready in one round; whichever came first dropped the other.
    EXPECT_EQ(first.got.size() + second.got.size(), 1u);
    EXPECT_EQ(loop.watched(), 1u);
}

TEST(LoopThread, CallRunsOnTheLoopAndWaits) {
    LoopThread thread;
    std::string error;
    ASSERT_TRUE(thread.start(error)) << error;
    std::thread::id ran;
    int count = 0;
    for (int i = 0; i < 100; ++i)
        thread.call([&] {
            ran = std::this_thread::get_id();
            ++count;
        });
    EXPECT_EQ(count, 100);
    EXPECT_NE(ran, std::this_thread::get_id());
    thread.stop();
    thread.call([&] { ++count; });  // stopped: runs here, at once
    EXPECT_EQ(count, 101);
}

}  // namespace
}  // namespace platform
