// SPDX-License-Identifier: Apache-2.0
#include "tests/support/hostile_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <deque>

#include "platform/readiness.h"
#include "platform/socket.h"

namespace support {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A socket bound to `from`, with a small receive buffer so the server's
// answer backs up at once, and (for the slow reader) a LAN's segment size.
platform::Socket peerSocket(const std::string& from, bool lanSegments) {
    platform::Socket s = platform::createTcpSocket();
    int small = 4096;
    ::setsockopt(s.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    if (lanSegments) {
        int segment = 1460;
        ::setsockopt(s.fd(), IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
    }
    if (!from.empty())
        platform::bindTo(s, 0, *platform::lookupHost(from));
    return s;
}

bool loopback(const std::string& host) {
    std::optional<platform::Ipv4> address = platform::lookupHost(host);
    return address && (*address >> 24) == 127;
}

}  // namespace

HostilePeer::HostilePeer(HostileOptions options) : options_(std::move(options)) {
    if (loopback(options_.host))
        thread_ = std::thread([this] { run(); });
}

HostilePeer::~HostilePeer() {
    stop();
}

void HostilePeer::stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void HostilePeer::run() {
    auto end = Clock::now() + options_.longest;
    while (!stop_ && Clock::now() < end) {
        switch (options_.kind) {
            case HostileKind::NeverReads:
                oneAnswer(false);
                break;
            case HostileKind::ReadsSlowly:
                oneAnswer(true);
                break;
            case HostileKind::Floods:
                flood();
                break;
        }
    }
}

// Asks once, then holds the connection without reading (or reading a
// segment every 20 ms) until the server gives up on it or 30 s pass.
void HostilePeer::oneAnswer(bool readSlowly) {
    platform::Socket s = peerSocket(options_.from, readSlowly);
    if (!platform::connectBlocking(s, *platform::lookupHost(options_.host), options_.port)) {
        std::this_thread::sleep_for(50ms);
        return;
    }
    ++connections_;
    platform::sendAll(s, options_.request.data(), options_.request.size());
    std::vector<char> segment(1460);
    auto end = Clock::now() + 30s;
    while (!stop_ && Clock::now() < end) {
        std::this_thread::sleep_for(20ms);
        if (!readSlowly)
            continue;
        if (platform::waitReadable(s, 0ms) && platform::receiveSome(s, segment.data(), segment.size()) <= 0)
            return;  // dropped by the server
    }
}

// Starts connections as fast as it can without waiting for any, sends
// nothing, keeps the last 64 open; at most 40,000 a second.
void HostilePeer::flood() {
    std::deque<platform::Socket> open;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(options_.port);
    to.sin_addr.s_addr = htonl(*platform::lookupHost(options_.host));
    auto end = Clock::now() + options_.longest;
    auto second = Clock::now();
    std::size_t thisSecond = 0;
    while (!stop_ && Clock::now() < end) {
        if (++thisSecond > 40000) {
            std::this_thread::sleep_until(second + 1s);
            second = Clock::now();
            thisSecond = 0;
        }
        platform::Socket s = peerSocket(options_.from, false);
        platform::setNonBlocking(s, true);
        ::connect(s.fd(), reinterpret_cast<sockaddr*>(&to), sizeof to);
        ++connections_;
        open.push_back(std::move(s));
        if (open.size() > 64)
            open.pop_front();
    }
}

UnitReply askAfter(const std::string& host, std::uint16_t port, const std::string& from,
                   const std::string& request, std::chrono::milliseconds delay,
                   std::chrono::milliseconds timeout) {
    UnitReply reply;
    if (!loopback(host))
        return reply;
    auto start = Clock::now();
    platform::Socket s = peerSocket(from, false);
    int large = 1 << 16;
    ::setsockopt(s.fd(), SOL_SOCKET, SO_RCVBUF, &large, sizeof large);
    if (!platform::connectWithTimeout(s, *platform::lookupHost(host), port, timeout,
                                 platform::OnRefusal::FailAtOnce)) {
        return reply;
    }
    reply.connected = true;
    std::this_thread::sleep_for(delay);
    platform::sendAll(s, request.data(), request.size());
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(start + timeout - Clock::now());
        if (left.count() <= 0 || !platform::waitReadable(s, left))
            break;
        long n = platform::receiveSome(s, buffer, sizeof buffer);
        if (n <= 0) {
            reply.closedByServer = n == 0;
            break;
        }
        reply.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    reply.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return reply;
}

}  // namespace support
