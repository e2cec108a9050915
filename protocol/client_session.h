// SPDX-License-Identifier: Apache-2.0
// One configuration connection to one unit, owned by its caller: the socket,
// a frame buffer of its own and an overall deadline. Programs that talk to
// many units at once hold one session per connection, so nothing is shared
// between threads.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "protocol/transport.h"

namespace protocol {

class ClientSession {
  public:
    using Clock = ReplyClock;

    enum class Status {
        Ok,
        Refused,      // the unit answered ERR_ (its text is the reply body)
        Unresolved,   // the address does not resolve
        Unreachable,  // the connect failed or did not complete in time
        TimedOut,     // the deadline passed while waiting for the unit
        Lost,         // the unit closed, a send failed, or a frame was malformed
    };

    explicit ClientSession(std::size_t bufferSize = 131072);

    // Every wait of this session ends at `deadline`, however many replies and
    // keep-alives come before it.
    void setDeadline(Clock::time_point deadline) { deadline_ = deadline; }

    // Connects to the unit's port (1283 unless `port` says otherwise),
    // waiting at most `connectTimeout` (and never past the deadline). Closes
    // any earlier connection first. After Unreachable, cause() says why.
    Status connect(const std::string& address, std::chrono::milliseconds connectTimeout,
                   std::uint16_t port = 0);
    // Why the last connect failed: "connection refused", "no route", "timed
    // out", "out of descriptors", ...; empty after a connect that worked.
    const std::string& cause() const { return cause_; }
    void close() { socket_.close(); }
    // Takes a connection made elsewhere (a socket pair in a fuzz target).
    void adopt(platform::Socket connected) {
        socket_ = std::move(connected);
        body_ = {};
    }
    bool isOpen() const { return socket_.valid(); }

    // Sends `text` as an MDSQ query and reads the next reply that is not a
    // keep-alive. Any status but Ok and Refused closes the connection, since
    // the stream is of no further use.
    Status query(std::string_view text);
    // Sends `text` as a query and reads nothing back (RESTART=TRUE).
    Status send(std::string_view text);

    // Body text of the last reply; empty after a failure.
    std::string_view replyBody() const { return body_; }

  private:
    Status fail(Status status);
    ReplyClock::time_point deadline() const;

    Bytes buffer() { return {buffer_.get(), bufferSize_}; }

    platform::Socket socket_;
    // Not cleared up front: only the pages that replies reach are ever
    // touched, so a pool of idle sessions costs next to no memory.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t bufferSize_;
    std::string_view body_;
    std::string cause_;
    Clock::time_point deadline_ = Clock::time_point::max();
};

// "timed out", "unreachable", ... for messages.
std::string_view describe(ClientSession::Status status);

}  // namespace protocol
