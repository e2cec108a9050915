// SPDX-License-Identifier: Apache-2.0
// The host server behind the Zorrel control, on 127.0.15.x with ports
// 21500-21599, units played by the simulated unit's host side.
#include "frontends/zorrel/host_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "protocol/file_frame.h"
#include "tests/support/process.h"
#include "unitsim/host.h"
#include "unitsim/unit.h"

namespace zorrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

platform::Ipv4 loopback(int last) {
    return (127u << 24) | (15u << 8) | static_cast<platform::Ipv4>(last);
}

class HostServerTest : public ::testing::Test {
  protected:
    void listenOn(int last, std::uint16_t port) {
        address = "127.0.15." + std::to_string(last);
        target.host = address;
        target.port = port;
        target.timeout = 3s;
        ASSERT_TRUE(server.start(port, loopback(last)));
    }
    // Polls until a unit is taken (bounded); the poll status.
    int pollUntilTaken() {
        for (int i = 0; i < 300; ++i) {
            int status = server.poll();
            if (status != kPollNothing)
                return status;
            std::this_thread::sleep_for(10ms);
        }
        return kPollNothing;
    }

    HostServer server{std::filesystem::path(HEADER_GIF).parent_path().string()};
    std::string address;
    unitsim::HostTarget target;
};

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST_F(HostServerTest, NothingWaitingIsNothingAndAStoppedServerTakesNoUnit) {
    EXPECT_EQ(server.poll(), kPollNothing);
    listenOn(1, 21501);
    EXPECT_EQ(server.poll(), kPollNothing);
    server.stop();
    EXPECT_FALSE(server.listening());
    EXPECT_EQ(server.poll(), kPollNothing);
}

TEST_F(HostServerTest, TrivialTextIsAnsweredWithTextAndItsZeroByte) {
    listenOn(2, 21502);
    auto unit = std::async(std::launch::async,
                           [&] { return unitsim::sendBarcodeText(target, "0123456789"); });
    ASSERT_EQ(pollUntilTaken(), kPollTrivial);
    EXPECT_EQ(server.trivialText(), "0123456789");
    EXPECT_EQ(server.packetKind(), 0);
    EXPECT_EQ(server.sendText("First"), 6);
    EXPECT_EQ(server.sendText("Second"), 7);
    server.endConnection();
    EXPECT_EQ(server.sendText("late"), 0);
    auto reply = unit.get();
    EXPECT_TRUE(reply.connected);
    EXPECT_EQ(reply.bytes, bytesOf(std::string_view("First\0Second\0", 13)));
}

TEST_F(HostServerTest, AProductQueryGetsTheImageAndTextAsFrames) {
    listenOn(3, 21503);
    auto unit = std::async(std::launch::async,
                           [&] { return unitsim::sendBarcodeFrame(target, "PFX\t998877"); });
    ASSERT_EQ(pollUntilTaken(), kPollNominal);
    EXPECT_EQ(server.packetKind(), 7);
    EXPECT_EQ(server.productQuery().prefix, "PFX");
    EXPECT_EQ(server.productQuery().barcode, "998877");
    auto image = protocol::loadFileFrame(HEADER_GIF, protocol::kFileKindImage, {}, 102400);
    ASSERT_TRUE(image);
    EXPECT_EQ(server.sendFile("header.gif"), static_cast<long>(image->size()));
    EXPECT_EQ(server.sendText("hi"), 15);
    server.endConnection();
    auto expected = *image;
    const std::uint8_t text[] = {0, 0, 0, 15, 'D', 'A', 'T', 'A', 'T', 'E', 'X', 'T', 'h', 'i', 0};
    expected.insert(expected.end(), std::begin(text), std::end(text));
    EXPECT_EQ(unit.get().bytes, expected);
}

TEST_F(HostServerTest, AnEventIsReadFieldByField) {
    listenOn(4, 21504);
    auto unit = std::async(std::launch::async, [&] {
        return unitsim::sendEvent(target, 0x21, 0x41, 3, 4, "button text");
    });
    ASSERT_EQ(pollUntilTaken(), kPollNominal);
    EXPECT_EQ(server.packetKind(), 10);
    auto event = server.event();
    EXPECT_EQ(event.newStarts, 0x21u);
    EXPECT_EQ(event.keyCode, 0x41u);
    EXPECT_EQ(event.text, "button text");
    EXPECT_EQ(server.productQuery().barcode, "");
    server.endConnection();
    EXPECT_TRUE(unit.get().bytes.empty());
}

TEST_F(HostServerTest, ShortOrUnknownFramesCountAsTerminate) {
    listenOn(5, 21505);
    for (const auto& request : {std::vector<std::uint8_t>{0, 0, 0, 6, 'P', 'R'},
                                std::vector<std::uint8_t>{0, 0, 0, 9, 'p', 'r', 'o', 'd', 0}}) {
        auto unit =
            std::async(std::launch::async, [&] { return unitsim::sendRaw(target, request); });
        ASSERT_EQ(pollUntilTaken(), kPollNominal);
        EXPECT_EQ(server.packetKind(), 1);
        server.endConnection();
        unit.get();
    }
}

TEST_F(HostServerTest, ASilentUnitFailsThePollWithinTheBoundAndIsClosed) {
    listenOn(6, 21506);
    platform::Socket silent = platform::createTcpSocket();
    ASSERT_TRUE(platform::connectBlocking(silent, loopback(6), 21506));
    auto start = Clock::now();
    EXPECT_EQ(pollUntilTaken(), kPollFailed);
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_FALSE(server.connected());
    char byte = 0;
    platform::setReceiveTimeout(silent, 2000ms);
    EXPECT_EQ(platform::receiveSome(silent, &byte, 1), 0) << "the server closed the connection";
}

TEST_F(HostServerTest, TakingAUnitWhenNoneWaitsReturnsAtOnce) {
    listenOn(9, 21509);
    // A unit that comes only later: an accept that blocked would wait for it
    // and take it here.
    auto later = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(1500ms);
        return unitsim::sendBarcodeText(target, "late");
    });
    EXPECT_EQ(server.takeWaitingUnit(), kPollNothing);
    EXPECT_FALSE(server.connected());
    ASSERT_EQ(pollUntilTaken(), kPollTrivial) << "the listener still takes the next unit";
    EXPECT_EQ(server.trivialText(), "late");
    server.endConnection();
    later.get();
}

// A unit that keeps reading a trickle would keep every single send going;
// the answer as a whole must still give up at its bound.
TEST(HostServerSend, AnAnswerToATrickleReaderGivesUpAtItsDeadline) {
    const std::string folder = support::makeTempDir("zorrel_big");
    support::writeFile(folder + "/big.gif", std::string(24 << 20, 'G'));
    HostServer server(folder, {std::chrono::milliseconds(2000), std::chrono::milliseconds(300),
                               std::size_t(64) << 20});
    ASSERT_TRUE(server.start(21510, loopback(10)));
    std::atomic<bool> stop{false};
    std::atomic<bool> reading{false};
    std::thread unit([&] {
        platform::Socket socket = platform::createTcpSocket();
        if (!platform::connectBlocking(socket, loopback(10), 21510))
            return;
        const std::uint8_t query[] = {0, 0, 0, 10, 'P', 'R', 'O', 'D', '1', 0};
        platform::sendAll(socket, query, sizeof query);
        platform::setReceiveTimeout(socket, 1000ms);
        reading = true;
        char chunk[4096];
        const auto until = Clock::now() + 8s;
        while (!stop && Clock::now() < until && platform::receiveSome(socket, chunk, sizeof chunk) > 0)
            std::this_thread::sleep_for(10ms);
        reading = false;
    });
    int status = kPollNothing;
    for (int i = 0; i < 300 && status == kPollNothing; ++i) {
        status = server.poll();
        if (status == kPollNothing)
            std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(status, kPollNominal);
    EXPECT_EQ(server.sendFile("big.gif"), -1);
    EXPECT_TRUE(reading) << "the answer gave up while the unit was still reading";
    stop = true;
    server.stop();
    unit.join();
    std::filesystem::remove_all(folder);
}

TEST_F(HostServerTest, ATakenPortIsNoStart) {
    listenOn(7, 21507);
    HostServer second{"."};
    EXPECT_FALSE(second.start(21507, loopback(7)));
    EXPECT_FALSE(second.listening());
}

TEST_F(HostServerTest, OnlyPlainFileNamesOfItsFolderAreSent) {
    listenOn(8, 21508);
    EXPECT_EQ(server.sendFile("header.gif"), 0) << "no connection";
    auto unit =
        std::async(std::launch::async, [&] { return unitsim::sendBarcodeFrame(target, "1"); });
    ASSERT_EQ(pollUntilTaken(), kPollNominal);
    for (const char* name : {"", "..", "../zorrel/header.gif", "/etc/hostname", "missing.gif", "."})
        EXPECT_EQ(server.sendFile(name), -1) << name;
    server.endConnection();
    EXPECT_TRUE(unit.get().bytes.empty());
}

}  // namespace
}  // namespace zorrel
