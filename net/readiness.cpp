#include "net/readiness.h"

#include <cerrno>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

int pollOnce(int fd, int timeoutMs) {
#ifdef _WIN32
    WSAPOLLFD entry{static_cast<SOCKET>(fd), POLLRDNORM, 0};
    return WSAPoll(&entry, 1, timeoutMs);
#else
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs);
#endif
}

}  // namespace

bool waitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
    if (!socket.valid())
        return false;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        int n = pollOnce(socket.fd(), left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (n > 0)
            return true;
        if (n == 0)
            return false;
#ifndef _WIN32
        if (errno == EINTR && Clock::now() < deadline)
            continue;
#endif
        return false;
    }
}

}  // namespace net
