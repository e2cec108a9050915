// SPDX-License-Identifier: Apache-2.0
// Platform layer: the only place that knows which socket API is underneath.
// Everything above works with `platform::Socket` handles and the plain calls below.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Starts the socket layer (WSAStartup 2.0 on Windows). On POSIX there is
// nothing to start and it always succeeds; the result is 0 on success, the
// system's error code otherwise.
int startup();

// An IPv4 address in host order: first octet in the most significant byte.
using Ipv4 = std::uint32_t;

// "a.b.c.d" for an address in host order.
std::string dotted(Ipv4 address);

// The first IPv4 address the system's host lookup finds for a name or a
// dotted address; nothing when the name does not resolve.
std::optional<Ipv4> lookupHost(const std::string& name);

// The machine's own host name (gethostname), empty on failure.
std::string localHostName();

// Owns one socket descriptor and closes it when it goes out of scope.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : fd_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    int fd() const { return fd_; }
    int release();
    void close();

private:
    int fd_ = -1;
};

// A new TCP stream socket (AF_INET, SOCK_STREAM, protocol 0); invalid on failure.
Socket createTcpSocket();

// Plain blocking connect to address:port on an existing socket.
bool connectBlocking(const Socket& socket, Ipv4 address, std::uint16_t port);

// What a connect with a time-out does when the peer refuses at once.
enum class OnRefusal {
    WaitOutTimeout,  // fail only when the time-out has passed (as the units'
                     // own client library does: it watches writability only)
    FailAtOnce,      // fail as soon as the refusal arrives (a blocking connect's
                     // behaviour, kept by the console tools)
};

// Non-blocking connect, then wait for the connection at most `timeout`; the
// socket is back in blocking mode on success. A peer that drops connection
// attempts ends in the time-out. The socket is left open either way; the
// caller closes it. On failure lastError() tells why (a time-out as
// ETIMEDOUT).
bool connectWithTimeout(const Socket& socket, Ipv4 address, std::uint16_t port,
                        std::chrono::milliseconds timeout,
                        OnRefusal onRefusal = OnRefusal::WaitOutTimeout);

// Why a connect failed, from lastError() after createTcpSocket or
// connectWithTimeout failed: "connection refused", "no route", "timed out",
// "out of descriptors", or the system's own text.
std::string connectFailureText(int code);

// A receive that waits longer than `timeout` fails (errno EAGAIN). Zero means
// wait for ever.
bool setReceiveTimeout(const Socket& socket, std::chrono::milliseconds timeout);

// The receive time-out set on the socket; zero when there is none (or it
// cannot be read).
std::chrono::milliseconds receiveTimeout(const Socket& socket);

// A send that cannot hand its bytes to the system for longer than `timeout`
// fails (the peer stopped reading). Zero means wait for ever.
bool setSendTimeout(const Socket& socket, std::chrono::milliseconds timeout);

// Non-blocking mode on or off (accepts and receives then fail at once with
// lastErrorWouldBlock() instead of waiting).
bool setNonBlocking(const Socket& socket, bool nonBlocking);

// TCP_NODELAY (level 6, option 1, value 1).
bool setNoDelay(const Socket& socket);

// Lets a restarted server bind its port while old connections linger.
bool setReuseAddress(const Socket& socket);

// Binds to port on all local addresses (or on `address` when given).
bool bindTo(const Socket& socket, std::uint16_t port, Ipv4 address = 0);
bool listenOn(const Socket& socket, int backlog);

// Accepts one connection; the peer's address goes to `peer` when given.
// Invalid socket on failure (errno tells why; EINTR is passed through).
Socket acceptFrom(const Socket& listener, Ipv4* peer = nullptr);

// Sends every byte, looping over partial sends. False when a send fails.
bool sendAll(const Socket& socket, const void* data, std::size_t size);

// Sends every byte within `limit` in all; false when a send fails or the
// time is up (a peer that stopped reading). A limit on each single send is
// not enough: a receiver that reads nothing still lets the system take more
// bytes now and then while its buffers grow.
bool sendAllWithin(const Socket& socket, const void* data, std::size_t size,
                   std::chrono::milliseconds limit);

// One receive call of up to `size` bytes: the count, 0 when the peer closed,
// negative on failure or time-out.
long receiveSome(const Socket& socket, void* data, std::size_t size);

// One receive that does not wait: the count, 0 when the peer closed, negative
// on failure; nothing when no byte has come yet.
std::optional<long> receiveArrived(const Socket& socket, void* data, std::size_t size);

enum class ReceiveStatus { Complete, Closed, Failed };

// Receives exactly `size` bytes. Closed: the peer closed first; Failed: an
// error or the receive time-out.
ReceiveStatus receiveExactly(const Socket& socket, void* data, std::size_t size);

// Error code of the last failed socket call (errno / WSAGetLastError).
int lastError();

// True when the last failed receive failed because its receive time-out passed.
bool lastErrorIsTimeout();

// True when the last failed call was cut short by a signal.
bool lastErrorIsInterrupted();

// The system's text for a socket error code (as lastError() gives it).
std::string socketErrorText(int error);

// Why the last accept failed, as far as a server's loop must tell it apart.
enum class AcceptFailure {
    WouldBlock,   // nothing waiting on a non-blocking listener
    Interrupted,  // a signal came in
    PeerGone,     // the client reset its connection while it waited
    NoResources,  // out of descriptors or memory for now
    ListenerGone, // the listener is closed or no listening socket: for good
    Other,        // anything else (a firewall rule, a network going down):
                  // it may pass, so a server goes on after a pause
};
AcceptFailure lastAcceptFailure();

}  // namespace platform
