// SPDX-License-Identifier: Apache-2.0
#include "platform/loop_connection.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/system_api.h"

namespace platform {

namespace {

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

std::string connectionFailure(int error) {
    switch (error) {
        case ECONNREFUSED:
            return "connection refused";
        case ECONNRESET:
        case EPIPE:
            return "connection reset";
        case ETIMEDOUT:
            return "no connection within the time-out";
        default:
            return std::string("cannot connect: ") + std::strerror(error);
    }
}

bool LoopConnection::adopt(Socket socket) {
    close();
    socket_ = std::move(socket);
    if (watchSocket(true, false))
        return true;
    socket_.close();
    return false;
}

bool LoopConnection::connectTo(Ipv4 to, std::uint16_t port, Ipv4 from, std::string& error) {
    close();
    socket_ = Socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket_) {
        error = std::string("cannot open a socket: ") + std::strerror(errno);
        return false;
    }
    setNoDelay(socket_);
    if (from != 0) {
        int one = 1;
        ::setsockopt(socket_.fd(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
        if (!bindTo(socket_, 0, from)) {
            error = "cannot use address " + dotted(from) + ": " + std::strerror(errno);
            socket_.close();
            return false;
        }
    }
    sockaddr_in target = socketAddress(to, port);
    int rc;
    do {
        rc = ::connect(socket_.fd(), reinterpret_cast<const sockaddr*>(&target), sizeof target);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno != EINPROGRESS) {
        error = connectionFailure(errno);
        socket_.close();
        return false;
    }
    if (!watchSocket(false, true)) {
        error = std::string("cannot watch a socket: ") + std::strerror(errno);
        socket_.close();
        return false;
    }
    return true;
}

bool LoopConnection::connected(std::string& error) const {
    int pending = 0;
    socklen_t len = sizeof pending;
    if (::getsockopt(socket_.fd(), SOL_SOCKET, SO_ERROR, &pending, &len) != 0)
        pending = errno;
    if (pending == 0)
        return true;
    error = connectionFailure(pending);
    return false;
}

Transfer LoopConnection::receive(void* data, std::size_t size) {
    long n;
    do {
        n = ::recv(socket_.fd(), data, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        return {Transfer::Kind::Moved, static_cast<std::size_t>(n), 0};
    if (n == 0)
        return {Transfer::Kind::Closed, 0, 0};
    if (wouldBlock(errno))
        return {};
    return {Transfer::Kind::Failed, 0, errno};
}

Transfer LoopConnection::send(const void* data, std::size_t size) {
    long n;
    do {
        n = ::send(socket_.fd(), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n >= 0)
        return {Transfer::Kind::Moved, static_cast<std::size_t>(n), 0};
    if (wouldBlock(errno))
        return {};
    return {Transfer::Kind::Failed, 0, errno};
}

bool LoopConnection::watchFor(bool read, bool write) {
    if (!watching_)
        return watchSocket(read, write);
    if (read == read_ && write == write_)
        return true;
    if (!loop_.change(socket_.fd(), *this, read, write))
        return false;
    read_ = read;
    write_ = write;
    return true;
}

bool LoopConnection::watchSocket(bool read, bool write) {
    if (!loop_.watch(socket_.fd(), *this, read, write))
        return false;
    watching_ = true;
    read_ = read;
    write_ = write;
    return true;
}

void LoopConnection::timerAt(EventLoop::Clock::time_point due) {
    cancelTimer();
    timer_ = loop_.at(due, [this] {
        timer_ = 0;
        onTimer();
    });
}

void LoopConnection::cancelTimer() {
    if (timer_)
        loop_.cancel(timer_);
    timer_ = 0;
}

void LoopConnection::close() {
    cancelTimer();
    if (watching_)
        loop_.unwatch(socket_.fd(), *this);
    watching_ = false;
    socket_.close();
}

}  // namespace platform
