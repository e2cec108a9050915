#include "net/socket.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include "net/system_api.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace net {

namespace {

bool setBlocking(int fd, bool blocking) {
#ifdef _WIN32
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(fd, FIONBIO, &nonBlocking) == 0;
#else
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
#endif
}

void closeDescriptor(int fd) {
#ifdef _WIN32
    closesocket(fd);
#else
    ::close(fd);
#endif
}

}  // namespace

int startup() {
#ifdef _WIN32
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 0), &data);
#else
    return 0;
#endif
}

int lastError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

bool lastErrorIsTimeout() {
#ifdef _WIN32
    return WSAGetLastError() == WSAETIMEDOUT;
#else
    return errno == EAGAIN || errno == EWOULDBLOCK;
#endif
}

void Socket::close() {
    if (fd_ >= 0) closeDescriptor(fd_);
    fd_ = -1;
}

Socket createTcpSocket() {
#ifdef _WIN32
    return Socket(static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0)));
#else
    // Close-on-exec, so a program a test (or a server) starts never inherits
    // a listener and keeps its port accepting after the owner closed it.
    return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
#endif
}

bool connectBlocking(const Socket& socket, Ipv4 address, std::uint16_t port) {
    sockaddr_in sa = socketAddress(address, port);
    int rc;
    do {
        rc = ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool connectWithTimeout(const Socket& socket, Ipv4 address, std::uint16_t port,
                        std::chrono::milliseconds timeout) {
    if (!setBlocking(socket.fd(), false)) return false;
    sockaddr_in sa = socketAddress(address, port);
    ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket.fd(), &writable);
    timeval tv{};
    tv.tv_sec = static_cast<long>(timeout.count() / 1000);
    tv.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
    int ready = ::select(socket.fd() + 1, nullptr, &writable, nullptr, &tv);
    if (ready <= 0) return false;
#ifndef _WIN32
    // Windows reports a refused connect through the error set only, so it
    // never shows as writable there; on POSIX a refused connect is writable
    // at once with an error pending. Wait out the time-out in that case so a
    // refused unit behaves the same on both systems.
    int pending = 0;
    socklen_t len = sizeof pending;
    getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &pending, &len);
    if (pending != 0) {
        std::this_thread::sleep_for(timeout);
        return false;
    }
#endif
    return setBlocking(socket.fd(), true);
}

namespace {

// SO_RCVTIMEO or SO_SNDTIMEO: milliseconds on Windows, a timeval on POSIX.
bool setTimeoutOption(const Socket& socket, int option, std::chrono::milliseconds timeout) {
#ifdef _WIN32
    DWORD ms = static_cast<DWORD>(timeout.count());
    return setsockopt(socket.fd(), SOL_SOCKET, option, reinterpret_cast<const char*>(&ms),
                      sizeof ms) == 0;
#else
    timeval tv{};
    tv.tv_sec = static_cast<long>(timeout.count() / 1000);
    tv.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
    return setsockopt(socket.fd(), SOL_SOCKET, option, &tv, sizeof tv) == 0;
#endif
}

}  // namespace

bool setReceiveTimeout(const Socket& socket, std::chrono::milliseconds timeout) {
    return setTimeoutOption(socket, SO_RCVTIMEO, timeout);
}

bool setSendTimeout(const Socket& socket, std::chrono::milliseconds timeout) {
    return setTimeoutOption(socket, SO_SNDTIMEO, timeout);
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

bool listenOn(const Socket& socket, int backlog) { return ::listen(socket.fd(), backlog) == 0; }

Socket acceptFrom(const Socket& listener, Ipv4* peer) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
#ifdef _WIN32
    int fd = static_cast<int>(::accept(listener.fd(), reinterpret_cast<sockaddr*>(&sa), &len));
#else
    int fd = ::accept4(listener.fd(), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
#endif
    if (fd >= 0 && peer != nullptr) *peer = ntohl(sa.sin_addr.s_addr);
    return Socket(fd);
}

bool sendAll(const Socket& socket, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
#ifdef _WIN32
        long n = ::send(socket.fd(), bytes + sent, static_cast<int>(size - sent), 0);
#else
        long n = ::send(socket.fd(), bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
#endif
        if (n < 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

long receiveSome(const Socket& socket, void* data, std::size_t size) {
    long n;
    do {
        n = ::recv(socket.fd(), static_cast<char*>(data), size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace net
