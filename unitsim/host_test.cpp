// SPDX-License-Identifier: Apache-2.0
// The unit's side of a host connection, against a tiny host that records
// what it read and from which peer, answers and closes.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/socket.h"
#include "protocol/payload.h"
#include "unitsim/host.h"

namespace unitsim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class TinyHost {
  public:
    // Listens on 127.0.0.1:port; answers `answer` once `expect` bytes arrived
    // (then closes unless `stayOpen`).
    TinyHost(std::uint16_t port, std::size_t expect, Bytes answer, bool stayOpen = false) {
        listener_ = platform::createTcpSocket();
        platform::setReuseAddress(listener_);
        EXPECT_TRUE(platform::bindTo(listener_, port, *platform::lookupHost("127.0.0.1")));
        EXPECT_TRUE(platform::listenOn(listener_, 4));
        thread_ = std::thread([this, expect, answer, stayOpen] {
            platform::Socket c = platform::acceptFrom(listener_, &peer_);
            if (!c)
                return;
            platform::setReceiveTimeout(c, 3s);
            std::uint8_t buffer[8192];
            while (got_.size() < expect) {
                long n = platform::receiveSome(c, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                got_.insert(got_.end(), buffer, buffer + n);
            }
            platform::sendAll(c, answer.data(), answer.size());
            if (stayOpen)
                std::this_thread::sleep_for(3s);
        });
    }
    ~TinyHost() { join(); }
    void join() {
        if (thread_.joinable())
            thread_.join();
    }
    const Bytes& got() {
        join();
        return got_;
    }
    std::string peer() {
        join();
        return platform::dotted(peer_);
    }

  private:
    platform::Socket listener_;
    std::thread thread_;
    Bytes got_;
    platform::Ipv4 peer_ = 0;
};

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

HostTarget target(std::uint16_t port, std::string from = {}) {
    HostTarget t;
    t.port = port;
    t.from = std::move(from);
    t.timeout = 3s;
    return t;
}

TEST(UnitsimHostSide, EachMessageGoesOutExactlyAndTheAnswerComesBack) {
    using namespace std::string_view_literals;
    protocol::Event event;
    event.newStarts = 0x10;
    event.keyCode = 0x10;
    event.touchColumn = 3;
    event.touchRow = 4;
    Bytes eventFrame(64);
    eventFrame.resize(protocol::buildEvent(eventFrame, event));
    struct Case {
        const char* what;
        std::function<HostReply(const HostTarget&)> send;
        Bytes wire;
    } cases[] = {
        {"barcode as text", [](auto& t) { return sendBarcodeText(t, "4006381333931"); },
         bytesOf("4006381333931\0"sv)},
        {"barcode as PROD", [](auto& t) { return sendBarcodeFrame(t, "123"); },
         bytesOf("\0\0\0\x0CPROD123\0"sv)},
        {"event", [](auto& t) { return sendEvent(t, 0x10, 0x10, 3, 4); }, eventFrame},
        {"registration", [](auto& t) { return sendRegistration(t, "U1", "", "10.0.0.9"); },
         bytesOf("\0\0\0\x15RGSTU1\0\0"
                 "10.0.0.9\0"sv)},
        {"raw",
         [](auto& t) {
             return sendRaw(t, {1, 2, 3});
         },
         Bytes{1, 2, 3}},
    };
    std::uint16_t port = 20010;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TinyHost host(port, c.wire.size(), bytesOf("OK\0"sv));
        HostReply reply = c.send(target(port++, "127.0.0.21"));
        EXPECT_TRUE(reply.connected);
        EXPECT_EQ(reply.bytes, bytesOf("OK\0"sv));
        EXPECT_EQ(host.got(), c.wire);
        EXPECT_EQ(host.peer(), "127.0.0.21");
    }
}

TEST(UnitsimHostSide, UnreachableHostAndAHostThatNeverClosesBothEnd) {
    HostReply none = sendRaw(target(20030), {1});
    EXPECT_FALSE(none.connected);
    EXPECT_TRUE(none.bytes.empty());

    TinyHost host(20031, 1, {7, 8}, /*stayOpen=*/true);
    HostTarget t = target(20031);
    t.timeout = 300ms;
    auto started = std::chrono::steady_clock::now();
    HostReply reply = sendRaw(t, {1});
    EXPECT_TRUE(reply.connected);
    EXPECT_EQ(reply.bytes, (Bytes{7, 8}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
}

}  // namespace
}  // namespace unitsim
