#include "net/send_deadline.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>
#include <vector>

#include "net/readiness.h"

namespace net {
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
            while (trickle && !stop) {
                if (waitReadable(pair.receiver, 20ms))
                    receiveSome(pair.receiver, buffer.data(), buffer.size());
            }
        });
        SendDeadline deadline(400ms);
        auto start = Clock::now();
        bool sent = true;
        for (int piece = 0; piece < 4 && sent; ++piece)
            sent = deadline.send(pair.sender, kBig.data(), kBig.size());
        auto took = Clock::now() - start;
        EXPECT_FALSE(sent) << trickle;
        EXPECT_TRUE(deadline.failed());
        EXPECT_FALSE(deadline.send(pair.sender, "x", 1)) << "no piece after a failed one";
        EXPECT_GE(took, 350ms);
        EXPECT_LT(took, 400ms + 5s) << "room for a loaded machine, far below 4 pieces' worth";
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
    EXPECT_GT(waits.left().count(), 150);
    EXPECT_EQ(wall.left().count(), 0);
    EXPECT_TRUE(waits.send(pair.sender, "cd", 2)) << "the system took it without a wait";
}

}  // namespace
}  // namespace net
