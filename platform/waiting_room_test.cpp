// SPDX-License-Identifier: Apache-2.0
#include "platform/waiting_room.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <string>
#include <thread>

#include "platform/readiness.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

class Room : public ::testing::Test {
  protected:
    void SetUp() override {
        address_ = *lookupHost("127.0.8.1");
        listener_ = createTcpSocket();
        ASSERT_TRUE(bindTo(listener_, 0, address_));
        ASSERT_TRUE(listenOn(listener_, kServerBacklog));
        sockaddr_in bound{};
        socklen_t len = sizeof bound;
        ASSERT_EQ(getsockname(listener_.fd(), reinterpret_cast<sockaddr*>(&bound), &len), 0);
        port_ = ntohs(bound.sin_port);
    }
    // A client connecting from 127.0.9.`from`.
    Socket client(const char* send = nullptr, int from = 1) {
        Socket s = createTcpSocket();
        EXPECT_TRUE(bindTo(s, 0, *lookupHost("127.0.9." + std::to_string(from))));
        EXPECT_TRUE(connectBlocking(s, address_, port_));
        if (send != nullptr)
            sendAll(s, send, 1);
        return s;
    }
    static char first(const Arrival& arrival) {
        return arrival.request.empty() ? 0 : static_cast<char>(arrival.request[0]);
    }
    static WaitLimits limits(std::size_t most, std::chrono::milliseconds firstBytes,
                             std::size_t requestSize = 8192, std::size_t perPeer = 8) {
        WaitLimits l;
        l.mostWaiting = most;
        l.firstBytes = firstBytes;
        l.requestSize = requestSize;
        l.mostPerPeer = perPeer;
        return l;
    }
    // Serves arrivals until the silent one given up for room comes; closes it.
    static void closeNextGivenUp(WaitingRoom& room) {
        std::optional<Arrival> a = room.next();
        ASSERT_TRUE(a);
        EXPECT_TRUE(a->silent);
        a->socket.close();
    }
    Ipv4 address_ = 0;
    std::uint16_t port_ = 0;
    Socket listener_;
};

TEST_F(Room, RequestsAreServedInTheOrderTheyArriveAndSilenceTimesOut) {
    WaitingRoom room(listener_, limits(8, 300ms));
    Socket quiet = client();
    Socket late = client();
    Socket early = client("e");
    std::optional<Arrival> a = room.next();
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->silent);
    EXPECT_EQ(first(*a), 'e') << "served first although connected last";
    sendAll(late, "l", 1);
    std::optional<Arrival> b = room.next();
    ASSERT_TRUE(b);
    EXPECT_EQ(first(*b), 'l');
    auto start = std::chrono::steady_clock::now();
    std::optional<Arrival> c = room.next();
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->silent) << "the quiet one, given up after the time-out";
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_EQ(room.waiting(), 0u);
}

TEST_F(Room, PastTheCapTheOldestSilentOneGoesFirst) {
    WaitingRoom room(listener_, limits(2, 30s));
    Socket oldest = client(nullptr, 1);
    Socket middle = client(nullptr, 2);
    std::this_thread::sleep_for(50ms);
    Socket newest = client(nullptr, 3);
    Socket talker = client("t", 4);
    std::this_thread::sleep_for(50ms);
    closeNextGivenUp(room);
    EXPECT_TRUE(waitReadable(oldest, 2s)) << "the oldest was closed";
    EXPECT_FALSE(waitReadable(newest, 0ms));
}

// Which silent connection makes room: one address's own oldest past its
// cap; past the room's cap, the oldest of the address holding the most,
// although another address's connection is older.
TEST_F(Room, TheAddressHoldingTheMostMakesRoom) {
    struct Case {
        const char* name;
        std::size_t most, perPeer;
    };
    for (Case c : {Case{"per-address cap", 64, 2}, Case{"room's cap", 3, 8}}) {
        WaitingRoom room(listener_, limits(c.most, 30s, 8192, c.perPeer));
        Socket other = client(nullptr, 11);  // the oldest of all
        std::this_thread::sleep_for(20ms);
        Socket earliest = client(nullptr, 10);
        Socket second = client(nullptr, 10);
        std::this_thread::sleep_for(20ms);
        Socket third = client(nullptr, c.perPeer == 2 ? 10 : 12);
        Socket talker = client("t", 13);
        std::this_thread::sleep_for(50ms);
        closeNextGivenUp(room);
        EXPECT_TRUE(waitReadable(earliest, 2s)) << c.name;
        EXPECT_FALSE(waitReadable(other, 0ms)) << c.name;
        EXPECT_FALSE(waitReadable(second, 0ms)) << c.name;
        EXPECT_EQ(room.waitingFrom(*lookupHost("127.0.9.10")), c.perPeer == 2 ? 2u : 1u) << c.name;
        std::optional<Arrival> t = room.next();
        ASSERT_TRUE(t);
        EXPECT_EQ(first(*t), 't') << c.name;
    }
}

TEST_F(Room, OnlyAGoneListenerEndsTheRoom) {
    WaitingRoom room(listener_, limits(8, 30s));
    listener_.close();
    EXPECT_FALSE(room.next());
    EXPECT_NE(room.acceptError(), 0);
}

TEST_F(Room, HandsOverTheRequestAsReceivedAndAHangUpAtOnce) {
    WaitingRoom room(listener_, limits(8, 30s, 4));
    Socket talker = client();
    sendAll(talker, "123456", 6);
    std::optional<Arrival> a = room.next();
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->silent);
    EXPECT_EQ(a->received, 4) << "one receive of at most the request size";
    EXPECT_EQ(std::string(a->request.begin(), a->request.end()), "1234");
    Socket leaver = client();
    leaver.close();
    auto start = std::chrono::steady_clock::now();
    std::optional<Arrival> b = room.next();
    ASSERT_TRUE(b);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "not held to the time-out";
    EXPECT_FALSE(b->silent);
    EXPECT_EQ(b->received, 0);
    EXPECT_TRUE(b->request.empty());
}

TEST(Readable, HungUpCountsAsReadable) {
    Socket listener = createTcpSocket();
    Ipv4 address = *lookupHost("127.0.8.2");
    ASSERT_TRUE(bindTo(listener, 0, address));
    ASSERT_TRUE(listenOn(listener, 4));
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&bound), &len);
    Socket s = createTcpSocket();
    ASSERT_TRUE(connectBlocking(s, address, ntohs(bound.sin_port)));
    Socket accepted = acceptFrom(listener);
    EXPECT_FALSE(waitReadable(accepted, 50ms));
    s.close();
    EXPECT_TRUE(waitReadable(accepted, 2s));
    EXPECT_FALSE(waitReadable(Socket(), 0ms));
}

}  // namespace
}  // namespace platform
