// The parts of the socket layer that are the same on every system; the calls
// into the system's socket API are in socket.cpp (POSIX) and socket_win32.cpp.
#include <algorithm>

#include "net/socket.h"
#include "net/system_api.h"

namespace net {

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
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + limit;
    const char* bytes = static_cast<const char*>(data);
    // Most answers fit the socket's buffer: one send that cannot wait, and
    // no time-out to set.
    long first = sendWithoutWaiting(socket, bytes, size);
    if (first < 0)
        return false;
    std::size_t sent = static_cast<std::size_t>(first);
    while (sent < size) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !setSendTimeout(socket, left))
            return false;
        std::size_t part = std::min<std::size_t>(size - sent, 1 << 16);
        if (!sendAll(socket, bytes + sent, part))
            return false;
        sent += part;
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

}  // namespace net
