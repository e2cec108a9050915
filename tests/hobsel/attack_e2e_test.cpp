// SPDX-License-Identifier: Apache-2.0
// Hobsel under attack: a valid unit is answered within the send limit and a
// second behind each hostile peer (one that never reads a large answer, the
// same with three images, one that reads slowly in LAN segments, one
// address flooding connections), and running out of descriptors is waited
// out. Hobsel on ports 23100-23199, units on 127.0.7.N; in a network
// namespace of its own where one can be made.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/socket.h"
#include "tests/hobsel/hobsel_server.h"
#include "tests/support/hostile_peer.h"
#include "tests/support/hostile_unit.h"
#include "tests/support/storm.h"

namespace hobsel_test {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// The stated send limit and a second; the unit itself waits longer, with
// room for a loaded machine, and the test reports how long it really took.
constexpr std::chrono::milliseconds kAnsweredWithin = 6s;

const std::string kFound = "found A\0"s;

class Attack : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(why))
            std::printf("(no network namespace of its own: %s)\n", why.c_str());
    }
    void start(std::uint16_t port, const std::vector<std::string>& args, const std::string& data) {
        port_ = port;
        server_ = std::make_unique<HobselServer>(port, args, data, "127.0.7.");
        ASSERT_TRUE(server_->ready());
    }
    void bigFile(const std::string& name) {
        std::filesystem::create_directories(
            std::filesystem::path(server_->dir() + "/" + name).parent_path());
        support::writeFile(server_->dir() + "/" + name, std::string(4 << 20, 'x'));
    }
    support::UnitReply ask(int last, std::chrono::milliseconds delay = 0ms) const {
        return support::askAfter("127.0.0.1", port_, "127.0.7." + std::to_string(last), "A\r\n",
                                 delay, kAnsweredWithin + support::kSlack);
    }
    support::HostileOptions hostile(support::HostileKind kind, const std::string& request) const {
        support::HostileOptions o;
        o.kind = kind;
        o.port = port_;
        o.from = "127.0.7.200";
        o.request = request;
        return o;
    }
    std::uint16_t port_ = 0;
    std::unique_ptr<HobselServer> server_;
};

// Each hostile peer is started, given time to get its answer going, and
// then a valid unit asks.
TEST_F(Attack, AValidUnitIsAnsweredBehindEachHostilePeer) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* file;
        support::HostileKind kind;
        const char* request;
    };
    const Case cases[] = {
        {"never reads a 4 MiB file", {}, "big.bin", support::HostileKind::NeverReads, "BIG\r\n"},
        {"never reads three 4 MiB images",
         {"-mB", "-f3"},
         "images/flip0.gif",
         support::HostileKind::NeverReads,
         "B\r\n"},
        {"reads slowly in 1460-byte segments",
         {},
         "big.bin",
         support::HostileKind::ReadsSlowly,
         "BIG\r\n"},
    };
    std::uint16_t port = 23100;
    for (const Case& c : cases) {
        start(port++, c.args, "BIG\t@big.bin\nA\tfound A\n");
        bigFile(c.file);
        if (std::string(c.file).find("flip0") != std::string::npos)
            bigFile("images/flip1.gif");
        support::HostilePeer peer(hostile(c.kind, c.request));
        std::this_thread::sleep_for(500ms);
        support::UnitReply reply = ask(1);
        EXPECT_EQ(reply.bytes, kFound) << c.name;
        std::printf("%s: valid unit answered after %lld ms\n", c.name,
                    static_cast<long long>(reply.elapsed.count()));
        peer.stop();
        EXPECT_TRUE(server_->running()) << c.name;
    }
}

TEST_F(Attack, TenUnitsThatSendLateAreAnsweredWhileOneAddressFloods) {
    start(23110, {}, "A\tfound A\n");
    int before = support::openDescriptors(server_->pid());
    support::HostilePeer flood(hostile(support::HostileKind::Floods, ""));
    std::this_thread::sleep_for(300ms);
    int answered = 0;
    long long slowest = 0;
    for (int unit = 1; unit <= 10; ++unit) {
        support::UnitReply reply = ask(unit, 20ms);
        answered += reply.bytes == kFound;
        slowest = std::max<long long>(slowest, reply.elapsed.count());
    }
    std::size_t made = flood.connections();
    flood.stop();
    EXPECT_EQ(answered, 10);
    std::printf(
        "flood: %zu connections from one address; %d of 10 late units answered, the "
        "slowest after %lld ms\n",
        made, answered, slowest);
    EXPECT_EQ(ask(11).bytes, kFound);
    // Nothing of the flood stays behind: the server's descriptors come back.
    int after = support::openDescriptors(server_->pid());
    for (int i = 0; i < 100 && after > before; ++i) {
        std::this_thread::sleep_for(100ms);
        after = support::openDescriptors(server_->pid());
    }
    EXPECT_LE(after, before);
}

// Lowers or raises the soft limit only: raising a hard limit again may need
// more privilege than the test has.
bool limitDescriptors(int pid, rlim_t most) {
    rlimit limit{};
    if (::prlimit(pid, RLIMIT_NOFILE, nullptr, &limit) != 0)
        return false;
    limit.rlim_cur = most;
    return ::prlimit(pid, RLIMIT_NOFILE, &limit, nullptr) == 0;
}

// A descriptor limit that leaves the process exactly `free` descriptors
// (its open ones need not be numbered without gaps).
int limitLeaving(int pid, int free) {
    std::set<int> used;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        used.insert(std::stoi(entry.path().filename().string()));
    }
    int fd = 0;
    for (int left = free; used.count(fd) != 0 || left-- > 0;) ++fd;
    return fd;
}

// Out of descriptors with nothing to give up: reported once and waited
// out; with silent connections held: some are given up and the unit served.
TEST_F(Attack, RunningOutOfDescriptorsIsSurvived) {
    start(23111, {}, "A\tfound A\n");
    EXPECT_EQ(ask(1).bytes, kFound);
    ASSERT_TRUE(limitDescriptors(server_->pid(), limitLeaving(server_->pid(), 0)));
    // The accept already waiting took its descriptor before the limit fell:
    // one connection that closes at once uses it up.
    platform::Socket waker = platform::createTcpSocket();
    platform::connectBlocking(waker, *platform::lookupHost("127.0.0.1"), port_);
    waker.close();
    std::this_thread::sleep_for(200ms);
    std::thread unit([&] { EXPECT_EQ(ask(2).bytes, kFound) << "answered once room is back"; });
    // Room comes back once the server has met the limit, however long that
    // takes on a loaded machine.
    EXPECT_TRUE(server_->waitForError("accept: ", 20s)) << "the server ran out of descriptors";
    EXPECT_TRUE(limitDescriptors(server_->pid(), limitLeaving(server_->pid(), 6)));
    unit.join();
    std::vector<platform::Socket> silent;
    for (int i = 0; i < 12; ++i) {
        platform::Socket s = platform::createTcpSocket();
        platform::bindTo(s, 0, *platform::lookupHost("127.0.7." + std::to_string(100 + i % 3)));
        if (platform::connectBlocking(s, *platform::lookupHost("127.0.0.1"), port_))
            silent.push_back(std::move(s));
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(ask(3).bytes, kFound) << "some silent ones made room";
    EXPECT_TRUE(server_->running());
    silent.clear();
    support::RunResult result = server_->stop();
    std::size_t reports = 0;
    for (std::size_t at = result.err.find("accept: "); at != std::string::npos;
         at = result.err.find("accept: ", at + 1)) {
        ++reports;
    }
    EXPECT_EQ(reports, 1u) << result.err;
    EXPECT_NE(result.err.find("still serving"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace hobsel_test
