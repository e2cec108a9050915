// Where host servers keep the connections they have accepted but not yet
// served. Accepting and waiting for a connection's first bytes happen here,
// for many connections at once; serving stays with the caller, one request
// at a time, in the order the requests arrived (requests that came in while
// one was being served go in the order their connections were made). So a
// unit that connects and says nothing delays nobody.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "net/socket.h"

namespace net {

// A listen backlog that holds a burst of units connecting at once while the
// server is busy with one request.
inline constexpr int kServerBacklog = 128;

struct WaitLimits {
    // Connections held while their request has not arrived; past this the
    // oldest silent one is given up to make room.
    std::size_t mostWaiting = 64;
    // A connection that sends nothing for this long is given up.
    std::chrono::milliseconds firstBytes{30000};
    // The most a request's first receive takes.
    std::size_t requestSize = 8192;
};

// A connection handed to the server. `silent`: it sent nothing within the
// time-out (or made room for newer ones) and is only to be closed and counted.
// Otherwise its first receive has been made as soon as bytes came: `received`
// is what it returned (the count, 0 when the peer closed, negative on
// failure) and `request` holds the bytes.
struct Arrival {
    Socket socket;
    Ipv4 peer = 0;
    bool silent = false;
    long received = -1;
    std::vector<std::uint8_t> request;
};

class WaitingRoom {
  public:
    // `listener` must outlive the room; it is used in blocking mode (an
    // accept is made only when one is known to be pending, or when nothing
    // else is waiting).
    WaitingRoom(const Socket& listener, WaitLimits limits);

    // The next connection to serve. Nothing when accepting failed for good;
    // lastError() then tells why (the error is kept in acceptError()).
    std::optional<Arrival> next();
    int acceptError() const { return acceptError_; }
    // Connections accepted and still silent.
    std::size_t waiting() const { return waiting_.size(); }

  private:
    struct Guest {
        Socket socket;
        Ipv4 peer = 0;
        std::chrono::steady_clock::time_point deadline;
    };
    bool acceptOne();
    bool receiveFirst(Socket& socket, Ipv4 peer);
    void giveUp(std::size_t index);
    void giveUpExpired();
    bool waitForInput();

    const Socket& listener_;
    WaitLimits limits_;
    std::deque<Guest> waiting_;  // in the order they were accepted
    std::deque<Arrival> ready_;  // in the order their requests came
    int acceptError_ = 0;
};

}  // namespace net
