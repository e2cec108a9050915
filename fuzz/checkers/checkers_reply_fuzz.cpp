// SPDX-License-Identifier: Apache-2.0
// Any bytes a unit may send probe or Drosk after the status query: one reply
// read into the 2048-byte buffer, keep-alives skipped, and its text.
#include <cstddef>
#include <cstdint>

#include "checkers/status_exchange.h"
#include "fuzz/support/socket_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SocketFeed feed(data, size);
    if (!feed.valid())
        return 0;
    static checkers::MessageBuffer buffer = checkers::MessageBuffer::allocate();
    std::string_view text;
    checkers::receiveStatusReply(feed.socket(), buffer, std::chrono::seconds(1), text);
    volatile std::size_t sink = 0;
    for (char c : text) sink = sink + static_cast<unsigned char>(c);
    (void)sink;
    return 0;
}
