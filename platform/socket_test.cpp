// SPDX-License-Identifier: Apache-2.0
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/socket.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <thread>

namespace platform {
namespace {

using namespace std::chrono_literals;

constexpr Ipv4 kLoopback = 0x7F000001;

// A listener on 127.0.0.1 at a port the system picks.
struct Listener {
    Socket socket = createTcpSocket();
    std::uint16_t port = 0;
    Listener() {
        EXPECT_TRUE(bindTo(socket, 0, kLoopback));
        EXPECT_TRUE(listenOn(socket, 4));
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&ss), &len);
        port = ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
    }
};

TEST(Dotted, FirstOctetIsTheMostSignificantByte) {
    EXPECT_EQ(dotted(0x0A00002A), "10.0.0.42");
    EXPECT_EQ(dotted(0xFFFFFFFF), "255.255.255.255");
}

TEST(LookupHost, DottedAddressesAndFailures) {
    EXPECT_EQ(lookupHost("127.0.3.9"), 0x7F000309u);
    EXPECT_FALSE(lookupHost("").has_value());
    EXPECT_FALSE(lookupHost("no-such-unit.invalid").has_value());
}

TEST(Socket, MovingTransfersOwnership) {
    Socket a = createTcpSocket();
    int fd = a.fd();
    Socket b = std::move(a);
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(b.fd(), fd);
    b.close();
    EXPECT_FALSE(b.valid());
}

TEST(Connect, SendAllAndReceiveExactlyOverLoopback) {
    Listener l;
    Socket client = createTcpSocket();
    ASSERT_TRUE(connectWithTimeout(client, kLoopback, l.port, 500ms));
    Ipv4 peer = 0;
    Socket served = acceptFrom(l.socket, &peer);
    ASSERT_TRUE(served.valid());
    EXPECT_EQ(peer, kLoopback);
    std::string big(200000, 'z');
    std::thread writer([&] { EXPECT_TRUE(sendAll(client, big.data(), big.size())); });
    std::string got(big.size(), 0);
    EXPECT_EQ(receiveExactly(served, got.data(), got.size()), ReceiveStatus::Complete);
    writer.join();
    EXPECT_EQ(got, big);
    client.close();
    char c;
    EXPECT_EQ(receiveExactly(served, &c, 1), ReceiveStatus::Closed);
}

TEST(Connect, RefusedConnectWaitsOutTheTimeOut) {
    std::uint16_t port;
    {
        Listener l;  // a port that was just free, now closed again
        port = l.port;
    }
    Socket client = createTcpSocket();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connectWithTimeout(client, kLoopback, port, 300ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
}

// A connect that fails at once is a failure, with its cause; it was once
// taken for a connection (the pending error was already gone when asked).
TEST(Connect, ARefusalIsAFailureWithItsCause) {
    std::uint16_t port;
    {
        Listener l;
        port = l.port;
    }
    for (OnRefusal onRefusal : {OnRefusal::FailAtOnce, OnRefusal::WaitOutTimeout}) {
        Socket client = createTcpSocket();
        EXPECT_FALSE(connectWithTimeout(client, kLoopback, port, 200ms, onRefusal));
        EXPECT_EQ(connectFailureText(lastError()), "connection refused");
    }
}

TEST(Connect, CausesHavePlainNames) {
    struct Case {
        int code;
        const char* text;
    } cases[] = {{ECONNREFUSED, "connection refused"}, {ENETUNREACH, "no route"},
                 {EHOSTUNREACH, "no route"},           {ETIMEDOUT, "timed out"},
                 {EMFILE, "out of descriptors"},       {ENFILE, "out of descriptors"}};
    for (const Case& c : cases) EXPECT_EQ(connectFailureText(c.code), c.text) << c.code;
}

TEST(Receive, TimeOutEndsAWaitOnASilentPeer) {
    Listener l;
    Socket client = createTcpSocket();
    ASSERT_TRUE(connectBlocking(client, kLoopback, l.port));
    Socket served = acceptFrom(l.socket);
    ASSERT_TRUE(setReceiveTimeout(served, 100ms));
    char c;
    EXPECT_EQ(receiveExactly(served, &c, 1), ReceiveStatus::Failed);
    EXPECT_LT(receiveSome(served, &c, 1), 0);
}

}  // namespace
}  // namespace platform
