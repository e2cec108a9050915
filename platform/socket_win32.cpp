// SPDX-License-Identifier: Apache-2.0
// The socket layer on Windows Sockets 2; the same calls as socket.cpp.
// winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
// The rest of the Windows API.
#include <windows.h>

#include <algorithm>
#include <thread>

#include "platform/socket.h"
#include "platform/system_api.h"

namespace platform {

namespace {

SOCKET handleOf(const Socket& socket) {
    return static_cast<SOCKET>(socket.fd());
}

// Handles fit in 32 bits on 64-bit Windows, and INVALID_SOCKET becomes -1.
Socket adopt(SOCKET handle) {
    if (handle == INVALID_SOCKET)
        return Socket();
    // Like close-on-exec: a program started from here must not inherit the
    // socket and keep a listener's port open after its owner closed it.
    SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    return Socket(static_cast<int>(handle));
}

bool setBlocking(const Socket& socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(handleOf(socket), FIONBIO, &nonBlocking) == 0;
}

bool setTimeoutOption(const Socket& socket, int option, std::chrono::milliseconds timeout) {
    DWORD ms = static_cast<DWORD>(timeout.count());
    return setsockopt(handleOf(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&ms),
                      sizeof ms) == 0;
}

bool setIntOption(const Socket& socket, int level, int option) {
    int one = 1;
    return setsockopt(handleOf(socket), level, option, reinterpret_cast<const char*>(&one),
                      sizeof one) == 0;
}

int clampedSize(std::size_t size) {
    constexpr std::size_t kLargest = 1 << 30;
    return static_cast<int>(size < kLargest ? size : kLargest);
}

}  // namespace

int startup() {
    // Windows Sockets 2.0, started once per process and never stopped: every
    // later call gives the first one's result.
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 0), &data);
    }();
    return result;
}

int lastError() {
    return WSAGetLastError();
}

bool lastErrorIsTimeout() {
    int error = WSAGetLastError();
    return error == WSAETIMEDOUT || error == WSAEWOULDBLOCK;
}

bool lastErrorIsInterrupted() {
    return WSAGetLastError() == WSAEINTR;
}

std::string socketErrorText(int error) {
    char text[256] = {};
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, text, sizeof text, nullptr) == 0) {
        return "unknown error";
    }
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

int pollSockets(pollfd* fds, std::size_t count, int timeoutMs) {
    return WSAPoll(fds, static_cast<ULONG>(count), timeoutMs);
}

AcceptFailure lastAcceptFailure() {
    switch (WSAGetLastError()) {
        case WSAEWOULDBLOCK:
            return AcceptFailure::WouldBlock;
        case WSAEINTR:
            return AcceptFailure::Interrupted;
        case WSAECONNRESET:
            return AcceptFailure::PeerGone;
        case WSAEMFILE:
        case WSAENOBUFS:
            return AcceptFailure::NoResources;
        case WSAENOTSOCK:
        case WSAEINVAL:
        case WSAEOPNOTSUPP:
        case WSAEFAULT:
        case WSANOTINITIALISED:
            return AcceptFailure::ListenerGone;
        default:
            return AcceptFailure::Other;
    }
}

void Socket::close() {
    if (fd_ >= 0)
        closesocket(static_cast<SOCKET>(fd_));
    fd_ = -1;
}

Socket createTcpSocket() {
    return adopt(::socket(AF_INET, SOCK_STREAM, 0));
}

bool connectBlocking(const Socket& socket, Ipv4 address, std::uint16_t port) {
    sockaddr_in sa = socketAddress(address, port);
    return ::connect(handleOf(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

namespace {

// Waits until a connect in progress has ended, successfully or not; false
// when `timeout` passed first. WSAPoll, like poll on POSIX, takes one socket
// without the fixed-size sets of select.
bool waitConnected(SOCKET handle, std::chrono::milliseconds timeout) {
    using std::chrono::milliseconds;
    auto left = std::clamp(timeout, milliseconds(0), milliseconds(24LL * 3600 * 1000));
    WSAPOLLFD watch{};
    watch.fd = handle;
    watch.events = POLLWRNORM;
    return WSAPoll(&watch, 1, static_cast<INT>(left.count())) > 0;
}

}  // namespace

bool connectWithTimeout(const Socket& socket, Ipv4 address, std::uint16_t port,
                        std::chrono::milliseconds timeout, OnRefusal onRefusal) {
    if (!setBlocking(socket, false))
        return false;
    sockaddr_in sa = socketAddress(address, port);
    auto start = std::chrono::steady_clock::now();
    // A connect that fails at once (no route) has nothing to wait for.
    int failure = 0;
    if (::connect(handleOf(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        failure = WSAGetLastError();
    } else if (!waitConnected(handleOf(socket), timeout)) {
        WSASetLastError(WSAETIMEDOUT);
        return false;
    } else {
        // A refused connect ends the wait with POLLERR/POLLHUP and an error
        // pending; telling it from a success takes SO_ERROR.
        int len = sizeof failure;
        getsockopt(handleOf(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure),
                   &len);
    }
    if (failure != 0) {
        // The units' own client library watches writability only, so a
        // refusal shows to it as the whole time-out passing.
        if (onRefusal == OnRefusal::WaitOutTimeout)
            std::this_thread::sleep_until(start + timeout);
        WSASetLastError(failure);
        return false;
    }
    return setBlocking(socket, true);
}

std::string connectFailureText(int code) {
    switch (code) {
        case WSAECONNREFUSED:
            return "connection refused";
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
            return "no route";
        case WSAETIMEDOUT:
            return "timed out";
        case WSAEMFILE:
        case WSAENOBUFS:
            return "out of descriptors";
        default:
            return "socket error " + std::to_string(code);
    }
}

bool setReceiveTimeout(const Socket& socket, std::chrono::milliseconds timeout) {
    return setTimeoutOption(socket, SO_RCVTIMEO, timeout);
}

bool setNonBlocking(const Socket& socket, bool nonBlocking) {
    return setBlocking(socket, !nonBlocking);
}

std::chrono::milliseconds receiveTimeout(const Socket& socket) {
    DWORD ms = 0;
    int len = sizeof ms;
    if (getsockopt(handleOf(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&ms), &len) !=
        0)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(ms);
}

bool setSendTimeout(const Socket& socket, std::chrono::milliseconds timeout) {
    return setTimeoutOption(socket, SO_SNDTIMEO, timeout);
}

bool setNoDelay(const Socket& socket) {
    return setIntOption(socket, IPPROTO_TCP, TCP_NODELAY);
}

// Windows lets a server bind a port whose old connections linger without
// asking; its SO_REUSEADDR would instead let a second server take over a port
// in use. Exclusive use is the safe choice for a server.
bool setReuseAddress(const Socket& socket) {
    return setIntOption(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE);
}

bool bindTo(const Socket& socket, std::uint16_t port, Ipv4 address) {
    sockaddr_in sa = socketAddress(address, port);
    return ::bind(handleOf(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool listenOn(const Socket& socket, int backlog) {
    return ::listen(handleOf(socket), backlog) == 0;
}

Socket acceptFrom(const Socket& listener, Ipv4* peer) {
    sockaddr_in sa{};
    int len = sizeof sa;
    Socket accepted = adopt(::accept(handleOf(listener), reinterpret_cast<sockaddr*>(&sa), &len));
    if (accepted && peer != nullptr)
        *peer = ntohl(sa.sin_addr.s_addr);
    return accepted;
}

bool sendAll(const Socket& socket, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
        int n = ::send(handleOf(socket), bytes + sent, clampedSize(size - sent), 0);
        if (n == SOCKET_ERROR)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

long sendWithoutWaiting(const Socket& socket, const void* data, std::size_t size) {
    // Windows has no per-call flag for it: non-blocking mode for this one call.
    if (!setBlocking(socket, false))
        return -1;
    int n = ::send(handleOf(socket), static_cast<const char*>(data), clampedSize(size), 0);
    int error = WSAGetLastError();
    setBlocking(socket, true);
    if (n == SOCKET_ERROR) {
        WSASetLastError(error);
        return error == WSAEWOULDBLOCK ? 0 : -1;
    }
    return n;
}

long receiveSome(const Socket& socket, void* data, std::size_t size) {
    return ::recv(handleOf(socket), static_cast<char*>(data), clampedSize(size), 0);
}

std::optional<long> receiveArrived(const Socket& socket, void* data, std::size_t size) {
    // No per-call non-blocking flag here: ask first whether anything is in.
    WSAPOLLFD watch{handleOf(socket), POLLRDNORM, 0};
    int ready = WSAPoll(&watch, 1, 0);
    if (ready == 0)
        return std::nullopt;
    if (ready < 0)
        return -1;
    return receiveSome(socket, data, size);
}

}  // namespace platform
