// SPDX-License-Identifier: Apache-2.0
#include "platform/send_deadline.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/readiness.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A connected pair on loopback whose receiving end has a small buffer.
struct Pair {
    Socket sender, receiver;
    Pair() {
        Socket listener = createTcpSocket();
        Ipv4 address = *lookupHost("127.0.8.3");
        bindTo(listener, 0, address);
        listenOn(listener, 4);
        sockaddr_in bound{};
        socklen_t len = sizeof bound;
        getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&bound), &len);
        Socket client = createTcpSocket();
        int small = 4096;
        setsockopt(client.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        connectBlocking(client, address, ntohs(bound.sin_port));
        receiver = std::move(client);
        sender = acceptFrom(listener);
    }
};

const std::vector<char> kBig(8 << 20, 'x');

// The limit bounds the whole answer, however it is cut and however the peer
// reads: never, or a little now and then.
TEST(SendDeadline, OneLimitForEveryPieceOfAnAnswer) {
    for (bool trickle : {false, true}) {
        Pair pair;
        std::atomic<bool> stop{false};
        std::thread reader([&] {
            std::vector<char> buffer(512);
            // A little now and then: 512 bytes every 5 ms at most, however
            // idle the machine (a reader that only waits for data would take
            // all 32 MiB within the limit on a fast one).
            while (trickle && !stop) {
                if (waitReadable(pair.receiver, 20ms))
                    receiveSome(pair.receiver, buffer.data(), buffer.size());
                std::this_thread::sleep_for(5ms);
            }
        });
        // Taken before the deadline starts, so a preempted test thread only
        // makes `took` longer: the lower bound holds on a loaded machine.
        auto start = Clock::now();
        SendDeadline deadline(400ms);
        bool sent = true;
        for (int piece = 0; piece < 4 && sent; ++piece)
            sent = deadline.send(pair.sender, kBig.data(), kBig.size());
        auto took = Clock::now() - start;
        EXPECT_FALSE(sent) << trickle;
        EXPECT_TRUE(deadline.failed());
        EXPECT_EQ(deadline.left().count(), 0);
        EXPECT_FALSE(deadline.send(pair.sender, "x", 1)) << "no piece after a failed one";
        EXPECT_GE(took, 350ms) << "poll counts whole milliseconds";
        // A limit per wait would never end while the reader trickles (the
        // 32 MiB would take hours): any bound far above the limit tells the
        // two apart, whatever the machine's load.
        EXPECT_LT(took, 60s) << trickle;
        stop = true;
        reader.join();
    }
}

// Counting only the waits, pauses between pieces cost nothing; on the wall
// clock they use the limit up.
TEST(SendDeadline, WaitingOnlyLeavesPausesOut) {
    Pair pair;
    SendDeadline waits(200ms, SendDeadline::Counting::WaitingOnly);
    SendDeadline wall(200ms);
    EXPECT_TRUE(waits.send(pair.sender, "ab", 2));
    EXPECT_TRUE(wall.send(pair.sender, "ab", 2));
    std::this_thread::sleep_for(250ms);
    EXPECT_GT(waits.left().count(), 0) << "the pause longer than the limit did not count";
    EXPECT_EQ(wall.left().count(), 0);
    EXPECT_TRUE(waits.send(pair.sender, "cd", 2)) << "the system took it without a wait";
}

}  // namespace
}  // namespace platform
