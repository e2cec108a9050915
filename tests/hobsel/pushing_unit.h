// SPDX-License-Identifier: Apache-2.0
// Hobsel on a port of its own, and a simulated unit that both sends it
// events from 127.0.5.N and listens on 127.0.5.N:1283 for what Hobsel
// pushes back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "protocol/frame.h"
#include "tests/hobsel/hobsel_server.h"
#include "tests/support/scripted_unit.h"
#include "unitsim/unit.h"

namespace hobsel_test {

using support::operator+;
using support::query;
using support::z;

// What a "<" file send puts on the wire.
inline Bytes fileSent(const std::string& reference, const std::string& content) {
    Bytes bytes = z(reference);
    std::uint8_t size[4];
    protocol::writeBE32(size, static_cast<std::uint32_t>(content.size()));
    bytes.insert(bytes.end(), size, size + 4);
    bytes.insert(bytes.end(), content.begin(), content.end());
    return bytes;
}

class PushingUnit : public ::testing::Test {
  protected:
    // Hobsel on `port` with `args` and `data`; the unit at `unitNet` `last`
    // listens unless `listening` is false.
    void start(std::uint16_t port, int last, const std::vector<std::string>& args,
               const std::string& data, bool listening = true,
               const std::string& unitNet = "127.0.5.") {
        last_ = last;
        server_ = std::make_unique<HobselServer>(port, args, data, unitNet);
        ASSERT_TRUE(server_->ready());
        if (!listening)
            return;
        unitsim::Options options;
        options.address = unitNet + std::to_string(last);
        unit_ = std::make_unique<unitsim::Unit>(options);
        std::string why;
        ASSERT_TRUE(unit_->start(why)) << why;
    }
    unitsim::HostTarget from() const { return server_->unit(last_); }
    unitsim::HostReply event(std::uint32_t starts, std::uint32_t key = 0, std::uint32_t column = 0,
                             std::uint32_t row = 0) {
        return unitsim::sendEvent(from(), starts, key, column, row);
    }
    // What each connection to the unit carried, once `count` were made.
    std::vector<Bytes> streams(std::size_t count) {
        if (!unit_)  // start() failed an assertion; the test has already failed
            return {};
        using namespace std::chrono_literals;
        for (int i = 0; i < 150 && unit_->streams().size() < count; ++i)
            std::this_thread::sleep_for(20ms);
        std::this_thread::sleep_for(200ms);  // the last bytes of a closed stream
        return unit_->streams();
    }
    std::string dir() const { return server_->dir(); }

    int last_ = 1;
    std::unique_ptr<HobselServer> server_;
    std::unique_ptr<unitsim::Unit> unit_;
};

}  // namespace hobsel_test
