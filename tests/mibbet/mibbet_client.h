// SPDX-License-Identifier: Apache-2.0
// A unit's side of one Mibbet connection, for the tests: connect, send,
// collect everything until the server closes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mibbet_test {

using Bytes = std::vector<std::uint8_t>;

struct Reply {
    bool connected = false;
    bool closedByServer = false;  // false: the time-out passed first
    std::string bytes;
};

// Sends `request` to 127.0.0.1:1283 (nothing at all when empty, then closes
// its sending side) and reads until the server closes or `timeout` passes.
Reply exchange(const Bytes& request, std::chrono::milliseconds timeout = std::chrono::seconds(5));
Reply exchangeText(std::string_view text);  // the text as it stands, no zero byte added

}  // namespace mibbet_test
