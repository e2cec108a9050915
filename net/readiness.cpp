#include "net/readiness.h"

#include <cerrno>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

namespace net {

namespace {

int pollAll(std::vector<pollfd>& fds, int timeoutMs) {
#ifdef _WIN32
    return WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
#else
    return ::poll(fds.data(), fds.size(), timeoutMs);
#endif
}

bool interrupted() {
#ifdef _WIN32
    return lastError() == WSAEINTR;
#else
    return lastError() == EINTR;
#endif
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
        return interrupted() ? 0 : -1;
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

bool waitWritable(const Socket& socket, std::chrono::milliseconds timeout) {
    if (!socket)
        return false;
    std::vector<pollfd> fds(1);
    fds[0].fd = socket.fd();
    fds[0].events = POLLOUT;
    // A hang-up or an error counts as ready: the send then fails at once.
    return pollAll(fds, milliseconds(timeout)) > 0 && fds[0].revents != 0;
}

bool waitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
    if (!socket)
        return false;
    Watch watch{socket.fd()};
    return waitAny(std::span<Watch>(&watch, 1), timeout) > 0 && watch.ready;
}

}  // namespace net
