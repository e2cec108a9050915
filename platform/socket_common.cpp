// SPDX-License-Identifier: Apache-2.0
// The parts of the socket layer that are the same on every system; the calls
// into the system's socket API are in socket.cpp (POSIX) and socket_win32.cpp.
#include <algorithm>

#include "platform/readiness.h"
#include "platform/send_deadline.h"
#include "platform/socket.h"
#include "platform/system_api.h"

namespace platform {

std::string dotted(Ipv4 a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

std::optional<Ipv4> lookupHost(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
        return std::nullopt;
    }
    Ipv4 address = ntohl(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(result);
    return address;
}

std::string localHostName() {
    char name[128] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int Socket::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

bool sendAllWithin(const Socket& socket, const void* data, std::size_t size,
                   std::chrono::milliseconds limit) {
    return SendDeadline(limit).send(socket, data, size);
}

SendDeadline::SendDeadline(std::chrono::milliseconds limit, Counting counting)
    : counting_(counting), end_(Clock::now() + limit), budget_(limit) {}

std::chrono::milliseconds SendDeadline::left() const {
    using std::chrono::milliseconds;
    auto rest = counting_ == Counting::WallClock ? end_ - Clock::now() : budget_;
    return std::max(milliseconds(0), std::chrono::ceil<milliseconds>(rest));
}

bool SendDeadline::fail() {
    failed_ = true;
    return false;
}

// Sends what the system takes at once, then waits for room with what is left
// of the limit. No send ever blocks, so neither a peer that reads nothing nor
// one that reads a byte now and then can stretch the limit.
bool SendDeadline::send(const Socket& socket, const void* data, std::size_t size) {
    if (failed_)
        return false;
    const char* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
        long n = sendWithoutWaiting(socket, bytes + sent, size - sent);
        if (n < 0)
            return fail();
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        std::chrono::milliseconds wait = left();
        if (wait.count() <= 0)
            return fail();
        auto start = Clock::now();
        bool writable = waitWritable(socket, wait);
        if (counting_ == Counting::WaitingOnly)
            budget_ -= Clock::now() - start;
        if (!writable)
            return fail();
    }
    return true;
}

ReceiveStatus receiveExactly(const Socket& socket, void* data, std::size_t size) {
    char* bytes = static_cast<char*>(data);
    std::size_t got = 0;
    while (got < size) {
        long n = receiveSome(socket, bytes + got, size - got);
        if (n == 0)
            return ReceiveStatus::Closed;
        if (n < 0)
            return ReceiveStatus::Failed;
        got += static_cast<std::size_t>(n);
    }
    return ReceiveStatus::Complete;
}

}  // namespace platform
