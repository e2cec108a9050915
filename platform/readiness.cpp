// SPDX-License-Identifier: Apache-2.0
#include "platform/readiness.h"

#include <vector>

#include "platform/system_api.h"

namespace platform {

namespace {

int pollAll(std::span<pollfd> fds, int timeoutMs) {
    return pollSockets(fds.data(), fds.size(), timeoutMs);
}

int milliseconds(std::chrono::milliseconds timeout) {
    if (timeout.count() < 0)
        return -1;
    constexpr long long kLongest = 24LL * 3600 * 1000;  // poll takes an int
    return static_cast<int>(timeout.count() < kLongest ? timeout.count() : kLongest);
}

}  // namespace

int waitAny(std::span<Watch> watches, std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds(watches.size());
    for (std::size_t i = 0; i < watches.size(); ++i) {
        fds[i].fd = watches[i].fd;
        fds[i].events = POLLIN;
        watches[i].ready = false;
    }
    int n = pollAll(fds, milliseconds(timeout));
    if (n < 0)
        return lastErrorIsInterrupted() ? 0 : -1;
    int ready = 0;
    for (std::size_t i = 0; i < watches.size(); ++i) {
        // A hang-up or an error is as good as input: the receive ends at once.
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0) {
            watches[i].ready = true;
            ++ready;
        }
    }
    return ready;
}

namespace {

// One socket: no allocation, since clients wait like this for every reply.
// A hang-up or an error counts as ready: the send or receive then fails at
// once.
bool waitOne(const Socket& socket, short events, std::chrono::milliseconds timeout) {
    if (!socket)
        return false;
    pollfd fd{};
    fd.fd = socket.fd();
    fd.events = events;
    return pollAll(std::span<pollfd>(&fd, 1), milliseconds(timeout)) > 0 && fd.revents != 0;
}

}  // namespace

bool waitWritable(const Socket& socket, std::chrono::milliseconds timeout) {
    return waitOne(socket, POLLOUT, timeout);
}

bool waitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
    return waitOne(socket, POLLIN, timeout);
}

}  // namespace platform
