// SPDX-License-Identifier: Apache-2.0
// Hobsel stays available to every unit while others misbehave: units that
// connect and say nothing, bursts of units, a unit that never reads its
// answer, and records that name files that cannot be sent.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/readiness.h"
#include "platform/socket.h"
#include "tests/hobsel/pushing_unit.h"
#include "tests/support/storm.h"

namespace hobsel_test {
namespace {

using namespace std::chrono_literals;

// A connection from `from` to Hobsel that sends nothing.
platform::Socket silentConnection(std::uint16_t port, const std::string& from) {
    platform::Socket socket = platform::createTcpSocket();
    if (!platform::bindTo(socket, 0, *platform::lookupHost(from)) ||
        !platform::connectBlocking(socket, *platform::lookupHost("127.0.0.1"), port)) {
        return {};
    }
    return socket;
}

// True once the server has closed `socket` (without sending anything).
bool closedByServer(const platform::Socket& socket, std::chrono::milliseconds within) {
    if (!platform::waitReadable(socket, within))
        return false;
    char byte;
    return platform::receiveSome(socket, &byte, 1) <= 0;
}

// A valid unit is not held up by silent ones: the answer comes well within
// the 30 s a silent connection is allowed.
unitsim::HostTarget quickUnit(const HobselServer& server, int last) {
    unitsim::HostTarget target = server.unit(last);
    target.timeout = 2s;
    return target;
}

TEST(HobselAvailability, SilentConnectionsDoNotHoldOtherUnits) {
    HobselServer server(23001, {}, "A\tfound A\n", "127.0.6.");
    ASSERT_TRUE(server.ready());
    std::vector<platform::Socket> silent;
    for (int i = 0; i < 20; ++i)
        silent.push_back(silentConnection(23001, "127.0.6." + std::to_string(100 + i % 4)));
    for (const platform::Socket& s : silent) ASSERT_TRUE(s);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(unitsim::sendBarcodeText(quickUnit(server, 1), "A").bytes, z("found A"));
    // Still held open, unanswered: nothing was closed for want of room.
    for (const platform::Socket& s : silent) EXPECT_FALSE(platform::waitReadable(s, 0ms));
}

TEST(HobselAvailability, SilentClientsThatReconnectDoNotHoldOtherUnits) {
    HobselServer server(23002, {}, "A\tfound A\n", "127.0.6.");
    ASSERT_TRUE(server.ready());
    std::atomic<bool> stop{false};
    std::vector<std::thread> pests;
    for (int p = 0; p < 3; ++p) {
        pests.emplace_back([&, p] {
            // Reconnects as soon as its connection is closed; bounded in count.
            for (int round = 0; round < 50 && !stop; ++round) {
                platform::Socket s = silentConnection(23002, "127.0.6." + std::to_string(101 + p));
                if (!s)
                    return;
                while (!stop && !platform::waitReadable(s, 50ms)) {
                }
            }
        });
    }
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(unitsim::sendBarcodeText(quickUnit(server, 1), "A").bytes, z("found A"));
    stop = true;
    for (std::thread& t : pests) t.join();
}

// One address holds at most 8 silent connections: its ninth pushes out its
// own oldest. Past 64 in all, the oldest of the address that holds the most
// goes, not the oldest of all.
TEST(HobselAvailability, SilentConnectionsPushOutTheirOwnAddresssFirst) {
    HobselServer server(23003, {}, "A\tfound A\n", "127.0.6.");
    ASSERT_TRUE(server.ready());
    platform::Socket lone = silentConnection(23003, "127.0.6.99");  // the oldest of all
    std::vector<platform::Socket> silent;
    for (int i = 0; i < 8; ++i) silent.push_back(silentConnection(23003, "127.0.6.100"));
    EXPECT_FALSE(closedByServer(silent[0], 300ms)) << "8 are held";
    silent.push_back(silentConnection(23003, "127.0.6.100"));
    EXPECT_TRUE(closedByServer(silent[0], 5s)) << "its own oldest makes room";
    for (int a = 0; a < 7; ++a) {
        for (int i = 0; i < 8; ++i)
            silent.push_back(silentConnection(23003, "127.0.6." + std::to_string(110 + a)));
    }
    EXPECT_TRUE(closedByServer(silent[1], 5s)) << "the 65th: 127.0.6.100 holds the most";
    EXPECT_EQ(unitsim::sendBarcodeText(quickUnit(server, 1), "A").bytes, z("found A"));
    EXPECT_FALSE(platform::waitReadable(lone, 0ms));
    EXPECT_FALSE(platform::waitReadable(silent.back(), 0ms));
}

// Connection attempts the listen queue could not hold, as the kernel counts
// them in this test's own network namespace.
long listenOverflows() {
    std::ifstream in("/proc/net/netstat");
    std::string names, values;
    while (std::getline(in, names) && std::getline(in, values)) {
        std::istringstream n(names), v(values);
        std::string name, value;
        while (n >> name && v >> value) {
            if (name == "ListenOverflows")
                return std::stol(value);
        }
    }
    return -1;
}

TEST(HobselAvailability, ABurstOfSixteenUnitsIsHeldByTheBacklog) {
    std::string why;
    if (!support::enterOwnNetworkNamespace(why))
        GTEST_SKIP() << "no network namespace: " << why;
    // Every answer waits a little, so the burst piles up in the listen queue.
    HobselServer server(23004, {}, "A\tfound A\n", "127.0.6.");
    ASSERT_TRUE(server.ready());
    long before = listenOverflows();
    std::vector<Bytes> answers(16);
    std::vector<std::thread> units;
    for (int i = 0; i < 16; ++i) {
        units.emplace_back([&, i] {
            unitsim::HostTarget target = server.unit(10 + i);
            answers[i] = unitsim::sendBarcodeText(target, "A").bytes;
        });
    }
    for (std::thread& t : units) t.join();
    for (const Bytes& answer : answers) EXPECT_EQ(answer, z("found A"));
    EXPECT_EQ(listenOverflows(), before) << "no connection attempt was dropped and retried";
}

TEST(HobselAvailability, AUnitThatNeverReadsIsDroppedAfterTheSendTimeOut) {
    HobselServer server(23005, {}, "BIG\t@big.bin\nA\tfound A\n", "127.0.6.");
    ASSERT_TRUE(server.ready());
    std::string content(8 << 20, 'x');
    support::writeFile(server.dir() + "/big.bin", content);
    platform::Socket lazy = platform::createTcpSocket();
    int small = 4096;
    ::setsockopt(lazy.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_TRUE(platform::bindTo(lazy, 0, *platform::lookupHost("127.0.6.50")));
    ASSERT_TRUE(platform::connectBlocking(lazy, *platform::lookupHost("127.0.0.1"), 23005));
    ASSERT_TRUE(platform::sendAll(lazy, "BIG", 4));
    // The next unit waits for at most the send time-out (5 s), then is served.
    unitsim::HostTarget next = server.unit(1);
    next.timeout = 20s;  // the 5 s time-out, with room for a busy machine
    EXPECT_EQ(unitsim::sendBarcodeText(next, "A").bytes, z("found A"));
    // The lazy unit got part of the file and then its connection was closed.
    std::vector<char> buffer(1 << 16);
    std::size_t got = 0;
    platform::setReceiveTimeout(lazy, 5s);
    for (int i = 0; i < 100000; ++i) {
        long n = platform::receiveSome(lazy, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    EXPECT_LT(got, content.size() + 2);
    EXPECT_TRUE(server.running());
}

// Records naming files that cannot be sent fall back to their text, and the
// server goes on: a directory, a FIFO, a file above the size limit.
class BadFiles : public PushingUnit {
  protected:
    void makeBadFiles(const std::string& dir) {
        std::filesystem::create_directories(dir + "/adir");
        ASSERT_EQ(::mkfifo((dir + "/afifo").c_str(), 0600), 0);
        std::ofstream(dir + "/huge.bin").put('x');
        std::filesystem::resize_file(dir + "/huge.bin", (64u << 20) + 1);  // sparse
    }
};

const char* const kBadReferences[] = {"<adir",     "@adir",     "<afifo",     "@afifo",
                                      "<huge.bin", "@huge.bin", "<adir;extra"};

TEST_F(BadFiles, BarcodeRecordsGoOutAsText) {
    std::string data;
    for (std::size_t i = 0; i < std::size(kBadReferences); ++i)
        data += "K" + std::to_string(i) + "\t" + kBadReferences[i] + "\n";
    data += "A\tfound A\n";
    start(23010, 20, {}, data, false, "127.0.6.");
    makeBadFiles(dir());
    for (std::size_t i = 0; i < std::size(kBadReferences); ++i) {
        EXPECT_EQ(server_->barcode("K" + std::to_string(i)), z(kBadReferences[i]))
            << kBadReferences[i];
    }
    EXPECT_EQ(server_->barcode("A"), z("found A"));
    EXPECT_TRUE(server_->running());
}

TEST_F(BadFiles, EventRecordsSendNothingAndTheServerGoesOn) {
    start(23011, 21, {}, "EV1\t<adir\nEV2\t<afifo\nEV3\t<huge.bin\nEV4\tbutton four\nA\tfound A\n",
          true, "127.0.6.");
    makeBadFiles(dir());
    for (std::uint32_t button : {0x01u, 0x02u, 0x04u, 0x08u}) event(button);
    std::vector<Bytes> pushed = streams(4);
    ASSERT_FALSE(pushed.empty());
    EXPECT_EQ(pushed.back(), z("button four"));
    for (const Bytes& stream : pushed) EXPECT_TRUE(stream.empty() || stream == z("button four"));
    EXPECT_EQ(server_->barcode("A"), z("found A"));
}

TEST_F(BadFiles, TouchDemoImagesAreSkipped) {
    start(23012, 22, {"-z"}, "", true, "127.0.6.");
    makeBadFiles(dir());
    support::writeFile(dir() + "/touch.dat",
                       "[INIT]\nTOUCH=TRUE\nIMAGE=<afifo\nA0=NEXT\n"
                       "[NEXT]\nIMAGE=<adir\n");
    event(0x10, 0x10, 0, 0);  // enters INIT, then NEXT
    std::vector<Bytes> pushed = streams(1);
    ASSERT_FALSE(pushed.empty());
    EXPECT_EQ(pushed.front(), support::query("POSTimeout=999999"));
    EXPECT_TRUE(unitsim::sendBarcodeText(from(), "A").connected);
    EXPECT_TRUE(server_->running());
}

TEST(HobselBadFiles, MixedTextAndImageAnswersSkipWhatCannotBeSent) {
    HobselServer mixed(23013, {"-mB", "-g"}, "", "127.0.6.");
    HobselServer images(23014, {"-mB", "-f2"}, "", "127.0.6.");
    ASSERT_TRUE(mixed.ready() && images.ready());
    std::filesystem::create_directories(mixed.dir() + "/images/sample.gif");
    EXPECT_EQ(mixed.barcode("B"), z("Mixed Text"));
    std::filesystem::create_directories(images.dir() + "/images/flip0.gif");
    support::writeFile(images.dir() + "/images/flip1.gif", "one!");
    EXPECT_EQ(images.barcode("B"), fileSent("<images/flip1.gif", "one!"));
    EXPECT_TRUE(mixed.running() && images.running());
}

TEST(HobselAvailability, ControlCharactersFromUnitsAreEscapedInTheLogAndTraces) {
    HobselServer server(23020, {"-v", "-lbar.log"}, "A\tfound A\n", "127.0.6.");
    ASSERT_TRUE(server.ready());
    EXPECT_EQ(server.barcode("A\nforged line\x1B[2J"), z("A\nforged line\x1B[2J\r\n  1"));
    EXPECT_EQ(server.barcode("A"), z("found A"));
    EXPECT_EQ(support::readFile(server.dir() + "/bar.log"), "A\\x0Aforged line\\x1B[2J\nA\n");
    std::string out = server.stop().out;
    EXPECT_NE(out.find("(A\\x0Aforged line\\x1B[2J)\n"), std::string::npos);
    EXPECT_EQ(out.find('\x1B'), std::string::npos);
}

TEST(HobselAvailability, AStormOfMalformedRequestsLeavesTheServerAsItWas) {
    HobselServer server(23021, {}, "A\tfound A\n", "127.0.6.");
    ASSERT_TRUE(server.ready());
    EXPECT_EQ(server.barcode("A"), z("found A"));
    int before = support::openDescriptors(server.pid());
    ASSERT_GT(before, 0);
    support::StormOptions storm;
    storm.port = 23021;
    storm.from = "127.0.6.60";
    EXPECT_GT(support::runStorm(storm), 1900u);
    EXPECT_EQ(server.barcode("A"), z("found A"));
    int after = support::openDescriptors(server.pid());
    for (int i = 0; i < 50 && after > before; ++i) {
        std::this_thread::sleep_for(100ms);
        after = support::openDescriptors(server.pid());
    }
    EXPECT_LE(after, before);
    EXPECT_TRUE(server.running());
}

}  // namespace
}  // namespace hobsel_test
