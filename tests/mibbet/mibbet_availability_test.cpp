// Mibbet stays available while clients misbehave: silent connections, a
// burst of clients, a storm of malformed requests. In a network namespace
// of its own, as every Mibbet test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "net/readiness.h"
#include "net/socket.h"
#include "tests/mibbet/mibbet_client.h"
#include "tests/support/process.h"
#include "tests/support/storm.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

class MibbetAvailable : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(&why))
            GTEST_SKIP() << "no network namespace: " << why;
        dir_ = support::makeTempDir("mibbet-available");
        ASSERT_FALSE(dir_.empty());
        support::writeFile(dir_ + "/mibbetdata.dat", "K\tv\n");
        server_ = std::make_unique<support::Background>(std::vector<std::string>{MIBBET_BIN}, dir_);
        ASSERT_TRUE(support::waitForPort("127.0.0.1", 1283, 5s));
    }
    void TearDown() override {
        server_.reset();
        std::remove((dir_ + "/mibbetdata.dat").c_str());
        if (!dir_.empty())
            ::rmdir(dir_.c_str());
    }
    static net::Socket silent() {
        net::Socket s = net::createTcpSocket();
        if (!net::connectBlocking(s, *net::lookupHost("127.0.0.1"), 1283))
            return {};
        return s;
    }
    std::string dir_;
    std::unique_ptr<support::Background> server_;
};

TEST_F(MibbetAvailable, SilentConnectionsDoNotHoldOtherClients) {
    std::vector<net::Socket> held;
    for (int i = 0; i < 20; ++i) held.push_back(silent());
    for (int i = 0; i < 3; ++i) {
        mibbet_test::Reply reply = mibbet_test::exchange({'K'}, 2s);
        EXPECT_TRUE(reply.closedByServer);
        EXPECT_EQ(reply.bytes, "v\0"s);
    }
    for (const net::Socket& s : held) EXPECT_FALSE(net::waitReadable(s, 0ms));
}

TEST_F(MibbetAvailable, ABurstOfSixteenClientsIsAnswered) {
    std::vector<mibbet_test::Reply> replies(16);
    std::vector<std::thread> clients;
    for (int i = 0; i < 16; ++i)
        clients.emplace_back([&, i] { replies[i] = mibbet_test::exchange({'K'}, 5s); });
    for (std::thread& t : clients) t.join();
    for (const mibbet_test::Reply& reply : replies) EXPECT_EQ(reply.bytes, "v\0"s);
}

TEST_F(MibbetAvailable, AStormOfMalformedRequestsLeavesTheServerAsItWas) {
    EXPECT_EQ(mibbet_test::exchangeText("K").bytes, "v\0"s);
    int before = support::openDescriptors(server_->pid());
    ASSERT_GT(before, 0);
    EXPECT_GT(support::runStorm(support::StormOptions{}), 1900u);
    EXPECT_EQ(mibbet_test::exchangeText("K").bytes, "v\0"s);
    int after = support::openDescriptors(server_->pid());
    for (int i = 0; i < 50 && after > before; ++i) {
        std::this_thread::sleep_for(100ms);
        after = support::openDescriptors(server_->pid());
    }
    EXPECT_LE(after, before);
    EXPECT_TRUE(server_->running());
}

}  // namespace
