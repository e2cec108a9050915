// SPDX-License-Identifier: Apache-2.0
#include "platform/loop_connection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = EventLoop::Clock;

Ipv4 address(const char* text) {
    return *lookupHost(text);
}

// A client that connects, sends `request`, reads until the peer closes and
// then removes itself from its list, as the load generator's requests do.
struct Client : LoopConnection {
    Client(EventLoop& loop, ConnectionList<Client>& list, std::string request)
        : LoopConnection(loop), owner(list), request(std::move(request)) {}
    void onReady(bool readable, bool writable) override {
        if (!connectedYet && (readable || writable)) {
            if (!connected(why))
                return finish();
            connectedYet = true;
        }
        if (connectedYet && sent < request.size()) {
            Transfer put = send(request.data() + sent, request.size() - sent);
            if (put.kind == Transfer::Kind::Moved)
                sent += put.bytes;
            if (sent == request.size())
                watchFor(true, false);
            return;
        }
        char buffer[64];
        Transfer got = receive(buffer, sizeof buffer);
        if (got.kind == Transfer::Kind::Moved)
            answer.append(buffer, got.bytes);
        else if (got.kind != Transfer::Kind::WouldBlock)
            finish();
    }
    void onTimer() override {
        why = "timed out";
        finish();
    }
    // The loop stops once the last client is gone.
    void finish() {
        (*results)[request] = why.empty() ? answer : why;
        EventLoop& events = loop();
        ConnectionList<Client>& list = owner;
        list.remove(*this);
        if (list.empty())
            events.quit();
    }
    ConnectionList<Client>& owner;
    std::string request;
    std::size_t sent = 0;
    bool connectedYet = false;
    std::string answer, why;
    std::list<Client>::iterator place;
    std::map<std::string, std::string>* results = nullptr;
};

// A server connection: echoes what it reads in brackets, then closes.
struct Echo : LoopConnection {
    Echo(EventLoop& loop, ConnectionList<Echo>& list) : LoopConnection(loop), owner(list) {}
    void onReady(bool readable, bool) override {
        char buffer[64];
        Transfer got = readable ? receive(buffer, sizeof buffer) : Transfer{};
        if (got.kind != Transfer::Kind::Moved)
            return;
        std::string reply = "[" + std::string(buffer, got.bytes) + "]";
        send(reply.data(), reply.size());
        owner.remove(*this);  // closes
    }
    ConnectionList<Echo>& owner;
    std::list<Echo>::iterator place;
};

struct Listener : EventLoop::Handler {
    EventLoop& loop;
    Socket socket = createTcpSocket();
    ConnectionList<Echo> open;
    Listener(EventLoop& l, std::uint16_t port) : loop(l) {
        setReuseAddress(socket);
        EXPECT_TRUE(bindTo(socket, port, address("127.0.0.43")));
        EXPECT_TRUE(listenOn(socket, 16));
        loop.watch(socket.fd(), *this, true, false);
    }
    ~Listener() override { loop.unwatch(socket.fd(), *this); }
    void onReady(bool, bool) override {
        Socket accepted = acceptFrom(socket);
        if (accepted) {
            EXPECT_TRUE(open.add(loop, open).adopt(std::move(accepted)));
        }
    }
};

TEST(LoopConnection, ConnectsSendsReceivesAndRemovesItself) {
    EventLoop loop;
    Listener listener(loop, 20111);
    ConnectionList<Client> clients;
    std::map<std::string, std::string> results;
    for (const char* request : {"one", "two"}) {
        Client& c = clients.add(loop, clients, request);
        c.results = &results;
        std::string why;
        ASSERT_TRUE(c.connectTo(address("127.0.0.43"), 20111, address("127.0.1.7"), why)) << why;
        c.timerAt(Clock::now() + 10s);
    }
    loop.run();
    EXPECT_TRUE(clients.empty());
    EXPECT_EQ(results["one"], "[one]");
    EXPECT_EQ(results["two"], "[two]");
}

TEST(LoopConnection, ARefusedConnectSaysSo) {
    EventLoop loop;
    ConnectionList<Client> clients;
    std::map<std::string, std::string> results;
    Client& refused = clients.add(loop, clients, "nobody");
    refused.results = &results;
    std::string why;
    ASSERT_TRUE(refused.connectTo(address("127.0.0.43"), 20112, 0, why)) << why;
    refused.timerAt(Clock::now() + 10s);
    loop.run();
    EXPECT_EQ(results["nobody"], "connection refused");
}

TEST(LoopConnection, OnlyTheTimerEndsAConnectNobodyAccepts) {
    EventLoop loop;
    ConnectionList<Client> clients;
    std::map<std::string, std::string> results;
    std::string why;
    // Listening but never accepting: the connect may succeed (the backlog
    // takes it), the request is sent, and no answer ever comes.
    Socket silent = createTcpSocket();
    ASSERT_TRUE(bindTo(silent, 20113, address("127.0.0.43")));
    ASSERT_TRUE(listenOn(silent, 4));
    Client& waiting = clients.add(loop, clients, "silent");
    waiting.results = &results;
    ASSERT_TRUE(waiting.connectTo(address("127.0.0.43"), 20113, 0, why)) << why;
    waiting.timerAt(Clock::now() + 50ms);
    loop.run();
    EXPECT_EQ(results["silent"], "timed out");
}

TEST(LoopConnection, AnAddressThatIsNotOursFailsAtOnce) {
    EventLoop loop;
    ConnectionList<Client> clients;
    Client& c = clients.add(loop, clients, "x");
    std::string why;
    EXPECT_FALSE(c.connectTo(address("127.0.0.43"), 20114, address("192.0.2.1"), why));
    EXPECT_EQ(why.rfind("cannot use address 192.0.2.1: ", 0), 0u) << why;
    EXPECT_FALSE(c.isOpen());
}

TEST(LoopConnection, FailuresInWords) {
    EXPECT_EQ(connectionFailure(ECONNREFUSED), "connection refused");
    EXPECT_EQ(connectionFailure(ECONNRESET), "connection reset");
    EXPECT_EQ(connectionFailure(ETIMEDOUT), "no connection within the time-out");
    EXPECT_EQ(connectionFailure(ENETUNREACH).rfind("cannot connect: ", 0), 0u);
}

}  // namespace
}  // namespace platform
