// SPDX-License-Identifier: Apache-2.0
#include "tests/support/storm.h"

#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/readiness.h"
#include "platform/socket.h"

namespace support {

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes header(std::uint32_t length, const char* type) {
    Bytes b(8);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<std::uint8_t>(type[i]);
    return b;
}

// What connection `i` sends; empty for one that closes at once.
Bytes badRequest(std::size_t i, std::mt19937& random) {
    switch (i % 8) {
        case 0:
            return header(0xFFFFFFFF, "PROD");  // absurd length
        case 1:
            return header(0x7FFFFFF0, "EVNT");  // absurd, an event
        case 2:
            return Bytes{0, 0};  // truncated header
        case 3:
            return header(40, "EVNT");  // truncated body
        case 4:
            return header(3, "DATA");  // length below 8
        case 5: {                      // junk
            Bytes junk(1 + random() % 300);
            for (std::uint8_t& b : junk) b = static_cast<std::uint8_t>(random());
            return junk;
        }
        default:
            return {};  // connect and close, or reset
    }
}

}  // namespace

std::size_t runStorm(const StormOptions& options) {
    std::optional<platform::Ipv4> host = platform::lookupHost(options.host);
    std::optional<platform::Ipv4> from =
        options.from.empty() ? std::optional<platform::Ipv4>(0) : platform::lookupHost(options.from);
    if (!host || !from || (*host >> 24) != 127)
        return 0;
    std::mt19937 random(1283);
    std::size_t connected = 0;
    auto deadline = std::chrono::steady_clock::now() + options.total;
    for (std::size_t i = 0; i < options.connections && std::chrono::steady_clock::now() < deadline;
         ++i) {
        platform::Socket s = platform::createTcpSocket();
        if (*from != 0)
            platform::bindTo(s, 0, *from);
        if (!platform::connectBlocking(s, *host, options.port))
            continue;
        ++connected;
        Bytes request = badRequest(i, random);
        if (!request.empty()) {
            platform::sendAll(s, request.data(), request.size());
            // Read whatever comes back until the server closes, briefly.
            char sink[512];
            while (platform::waitReadable(s, options.answerWait) &&
                   platform::receiveSome(s, sink, sizeof sink) > 0) {
            }
        } else if (i % 8 == 7) {
            linger reset{1, 0};  // close with a reset instead of a FIN
            ::setsockopt(s.fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
    }
    return connected;
}

int openDescriptors(int pid) {
    std::error_code error;
    std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error);
    if (error)
        return -1;
    int count = 0;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error)
            return -1;
        ++count;
    }
    return count;
}

}  // namespace support
