// SPDX-License-Identifier: Apache-2.0
// Mibbet stays available while clients misbehave: silent connections, a
// burst of clients, a storm of malformed requests. In a network namespace
// of its own, as every Mibbet test.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include <cstdio>
#include <thread>

#include "platform/readiness.h"
#include "platform/socket.h"
#include "tests/mibbet/mibbet_client.h"
#include "tests/support/hostile_peer.h"
#include "tests/support/hostile_unit.h"
#include "tests/support/process.h"
#include "tests/support/storm.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

class MibbetAvailable : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(why))
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
    // A connection from 127.0.0.`from` that sends nothing; one address has
    // at most 8 held.
    static platform::Socket silent(int from = 1) {
        platform::Socket s = platform::createTcpSocket();
        platform::bindTo(s, 0, *platform::lookupHost("127.0.0." + std::to_string(from)));
        if (!platform::connectBlocking(s, *platform::lookupHost("127.0.0.1"), 1283))
            return {};
        return s;
    }
    std::string dir_;
    std::unique_ptr<support::Background> server_;
};

TEST_F(MibbetAvailable, SilentConnectionsDoNotHoldOtherClients) {
    std::vector<platform::Socket> held;
    for (int i = 0; i < 20; ++i) held.push_back(silent(100 + i % 4));
    for (int i = 0; i < 3; ++i) {
        mibbet_test::Reply reply = mibbet_test::exchange({'K'}, 2s);
        EXPECT_TRUE(reply.closedByServer);
        EXPECT_EQ(reply.bytes, "v\0"s);
    }
    for (const platform::Socket& s : held) EXPECT_FALSE(platform::waitReadable(s, 0ms));
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

TEST_F(MibbetAvailable, TenClientsThatSendLateAreAnsweredWhileOneAddressFloods) {
    support::HostileOptions options;
    options.kind = support::HostileKind::Floods;
    options.from = "127.0.0.200";
    support::HostilePeer flood(options);
    std::this_thread::sleep_for(300ms);
    int answered = 0;
    for (int i = 1; i <= 10; ++i) {
        support::UnitReply reply = support::askAfter("127.0.0.1", 1283,
                                                     "127.0.0." + std::to_string(10 + i), "K",
                                                     20ms, 6s + support::kSlack);
        answered += reply.bytes == "v\0"s;
    }
    flood.stop();
    EXPECT_EQ(answered, 10);
    EXPECT_TRUE(server_->running());
}

// Out of descriptors with nothing to give up: reported once on standard
// error, waited out, and the next client is answered.
TEST_F(MibbetAvailable, RunningOutOfDescriptorsIsSurvived) {
    rlimit limit{};
    ASSERT_EQ(::prlimit(server_->pid(), RLIMIT_NOFILE, nullptr, &limit), 0);
    rlim_t saved = limit.rlim_cur;
    const std::string fds = "/proc/" + std::to_string(server_->pid()) + "/fd";
    // The connection of SetUp's port probe may still be open in the server;
    // once closed it would leave a descriptor free under the limit. Only the
    // listener stays.
    auto sockets = [&] {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(fds)) {
            std::error_code error;
            count += std::filesystem::read_symlink(entry, error).string().rfind("socket:", 0) == 0;
        }
        return count;
    };
    for (int i = 0; i < 1000 && sockets() > 1; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(sockets(), 1) << "the probe's connection is closed";
    std::set<int> used;
    for (const auto& entry : std::filesystem::directory_iterator(fds)) {
        used.insert(std::stoi(entry.path().filename().string()));
    }
    int lowest = 0;
    while (used.count(lowest) != 0) ++lowest;
    limit.rlim_cur = static_cast<rlim_t>(lowest);
    ASSERT_EQ(::prlimit(server_->pid(), RLIMIT_NOFILE, &limit, nullptr), 0);
    // The accept already waiting took its descriptor before the limit fell.
    platform::Socket waker = silent();
    waker.close();
    std::this_thread::sleep_for(200ms);
    std::thread client([] { EXPECT_EQ(mibbet_test::exchange({'K'}, 30s).bytes, "v\0"s); });
    // The limit is lifted once the server has met it, not after a guess at
    // how long that takes on a loaded machine.
    EXPECT_TRUE(server_->waitForError("accept: ", 20s)) << "the server ran out of descriptors";
    limit.rlim_cur = saved;
    EXPECT_EQ(::prlimit(server_->pid(), RLIMIT_NOFILE, &limit, nullptr), 0);
    client.join();
    EXPECT_TRUE(server_->running());
    std::string err = server_->stop().err;
    EXPECT_NE(err.find("accept: "), std::string::npos) << err;
    EXPECT_EQ(err.find("accept: "), err.rfind("accept: ")) << "reported once: " << err;
}

}  // namespace
