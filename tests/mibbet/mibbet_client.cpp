// SPDX-License-Identifier: Apache-2.0
#include "tests/mibbet/mibbet_client.h"

#include <poll.h>
#include <sys/socket.h>

#include "platform/socket.h"

namespace mibbet_test {

Reply exchange(const Bytes& request, std::chrono::milliseconds timeout) {
    Reply reply;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    platform::Socket socket = platform::createTcpSocket();
    auto loopback = platform::lookupHost("127.0.0.1");
    if (!socket || !loopback || !platform::connectBlocking(socket, *loopback, 1283)) return reply;
    reply.connected = true;
    if (request.empty()) {
        ::shutdown(socket.fd(), SHUT_WR);
    } else if (!platform::sendAll(socket, request.data(), request.size())) {
        return reply;
    }
    char buffer[16384];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return reply;
        pollfd p{socket.fd(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return reply;
        long n = platform::receiveSome(socket, buffer, sizeof buffer);
        if (n <= 0) {
            reply.closedByServer = true;
            return reply;
        }
        reply.bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

Reply exchangeText(std::string_view text) { return exchange(Bytes(text.begin(), text.end())); }

}  // namespace mibbet_test
