// SPDX-License-Identifier: Apache-2.0
// The socket layer on POSIX sockets; socket_win32.cpp is the Windows twin.
#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/system_api.h"

namespace platform {

namespace {

bool setBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

void closeDescriptor(int fd) {
    ::close(fd);
}

}  // namespace

int startup() {
    return 0;
}

int lastError() {
    return errno;
}

bool lastErrorIsTimeout() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

bool lastErrorIsInterrupted() {
    return errno == EINTR;
}

std::string socketErrorText(int error) {
    return std::strerror(error);
}

int pollSockets(pollfd* fds, std::size_t count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}

AcceptFailure lastAcceptFailure() {
    switch (errno) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return AcceptFailure::WouldBlock;
        case EINTR:
            return AcceptFailure::Interrupted;
        case ECONNABORTED:
        case EPROTO:
            return AcceptFailure::PeerGone;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return AcceptFailure::NoResources;
        case EBADF:
        case EINVAL:
        case ENOTSOCK:
        case EOPNOTSUPP:
        case EFAULT:
            return AcceptFailure::ListenerGone;
        default:
            return AcceptFailure::Other;
    }
}

void Socket::close() {
    if (fd_ >= 0)
        closeDescriptor(fd_);
    fd_ = -1;
}

Socket createTcpSocket() {
    // Close-on-exec, so a program a test (or a server) starts never inherits
    // a listener and keeps its port accepting after the owner closed it.
    return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

bool connectBlocking(const Socket& socket, Ipv4 address, std::uint16_t port) {
    sockaddr_in sa = socketAddress(address, port);
    int rc;
    do {
        rc = ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

namespace {

// Waits until a connect in progress has ended, successfully or not; false
// when `timeout` passed first. poll, not select: a descriptor above
// FD_SETSIZE (1024) is as good as any other.
bool waitConnected(int fd, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        using std::chrono::milliseconds;
        auto left = std::chrono::ceil<milliseconds>(end - std::chrono::steady_clock::now());
        // poll takes an int of milliseconds.
        left = std::clamp(left, milliseconds(0), milliseconds(24LL * 3600 * 1000));
        pollfd watch{fd, POLLOUT, 0};
        int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

}  // namespace

bool connectWithTimeout(const Socket& socket, Ipv4 address, std::uint16_t port,
                        std::chrono::milliseconds timeout, OnRefusal onRefusal) {
    if (!setBlocking(socket.fd(), false))
        return false;
    sockaddr_in sa = socketAddress(address, port);
    auto start = std::chrono::steady_clock::now();
    // A refusal (or no route) may be known at once: then there is nothing to
    // wait for, and the socket's pending error is already gone, so waiting
    // and asking SO_ERROR would take the failure for a connection.
    int failure = 0;
    if (::connect(socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 &&
        errno != EINPROGRESS && errno != EINTR) {
        failure = errno;
    } else if (!waitConnected(socket.fd(), timeout)) {
        errno = ETIMEDOUT;
        return false;
    } else {
        socklen_t len = sizeof failure;
        if (getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure),
                       &len) != 0)
            failure = errno;
    }
    if (failure != 0) {
        // Windows never shows a refused connect as writable. Waiting out the
        // time-out makes a refused unit behave the same on both systems.
        if (onRefusal == OnRefusal::WaitOutTimeout)
            std::this_thread::sleep_until(start + timeout);
        errno = failure;
        return false;
    }
    return setBlocking(socket.fd(), true);
}

std::string connectFailureText(int code) {
    switch (code) {
        case ECONNREFUSED:
            return "connection refused";
        case ENETUNREACH:
        case EHOSTUNREACH:
            return "no route";
        case ETIMEDOUT:
            return "timed out";
        case EMFILE:
        case ENFILE:
            return "out of descriptors";
        default:
            return std::strerror(code);
    }
}

namespace {

// SO_RCVTIMEO or SO_SNDTIMEO: milliseconds on Windows, a timeval on POSIX.
bool setTimeoutOption(const Socket& socket, int option, std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = static_cast<long>(timeout.count() / 1000);
    tv.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
    return setsockopt(socket.fd(), SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

}  // namespace

bool setReceiveTimeout(const Socket& socket, std::chrono::milliseconds timeout) {
    return setTimeoutOption(socket, SO_RCVTIMEO, timeout);
}

std::chrono::milliseconds receiveTimeout(const Socket& socket) {
    timeval tv{};
    socklen_t len = sizeof tv;
    if (getsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &tv, &len) != 0)
        return std::chrono::milliseconds(0);
    // Rounded up, so a time-out below a millisecond does not read as none.
    return std::chrono::milliseconds(tv.tv_sec * 1000L + (tv.tv_usec + 999) / 1000);
}

bool setSendTimeout(const Socket& socket, std::chrono::milliseconds timeout) {
    return setTimeoutOption(socket, SO_SNDTIMEO, timeout);
}

bool setNonBlocking(const Socket& socket, bool nonBlocking) {
    return setBlocking(socket.fd(), !nonBlocking);
}

bool setNoDelay(const Socket& socket) {
    int one = 1;
    return setsockopt(socket.fd(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                      sizeof one) == 0;
}

bool setReuseAddress(const Socket& socket) {
    int one = 1;
    return setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one),
                      sizeof one) == 0;
}

bool bindTo(const Socket& socket, std::uint16_t port, Ipv4 address) {
    sockaddr_in sa = socketAddress(address, port);
    return ::bind(socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool listenOn(const Socket& socket, int backlog) {
    return ::listen(socket.fd(), backlog) == 0;
}

Socket acceptFrom(const Socket& listener, Ipv4* peer) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int fd = ::accept4(listener.fd(), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
    if (fd >= 0 && peer != nullptr)
        *peer = ntohl(sa.sin_addr.s_addr);
    return Socket(fd);
}

bool sendAll(const Socket& socket, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
        long n = ::send(socket.fd(), bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

long sendWithoutWaiting(const Socket& socket, const void* data, std::size_t size) {
    long n = ::send(socket.fd(), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    return n;
}

long receiveSome(const Socket& socket, void* data, std::size_t size) {
    long n;
    do {
        n = ::recv(socket.fd(), static_cast<char*>(data), size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

std::optional<long> receiveArrived(const Socket& socket, void* data, std::size_t size) {
    long n;
    do {
        n = ::recv(socket.fd(), static_cast<char*>(data), size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return std::nullopt;
    return n;
}

}  // namespace platform
