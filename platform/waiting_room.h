// SPDX-License-Identifier: Apache-2.0
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
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/socket.h"

namespace platform {

// A listen backlog that holds a burst of units connecting at once while the
// server is busy with one request, and a flood from one address long enough
// for the waiting room to give its connections up: with 128, a valid unit's
// attempt was turned away now and then during a flood and TCP retried it a
// second later.
inline constexpr int kServerBacklog = 1024;

struct WaitLimits {
    // Connections held while their request has not arrived; past this one is
    // given up to make room: the oldest of the address that holds the most.
    // Lowered for good when descriptors run out, so that two stay free.
    std::size_t mostWaiting = 64;
    // A connection that sends nothing for this long is given up.
    std::chrono::milliseconds firstBytes{30000};
    // The most a request's first receive takes.
    std::size_t requestSize = 8192;
    // Silent connections held for one peer address; its next one pushes out
    // its own oldest, so one source that churns connections cannot push out
    // anybody else's.
    std::size_t mostPerPeer = 8;
    // After an accept error that may pass (out of descriptors or memory with
    // nothing to give up, a firewall rule, a network going down) accepting
    // pauses this long; held connections are still minded meanwhile.
    std::chrono::milliseconds acceptPause{100};
    // Where such errors are reported, once per kind until an accept succeeds
    // again (nothing: not reported).
    std::function<void(const std::string& message)> report;
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

// Writes a waiting room's report to standard error, where a server's fatal
// accept error goes too.
void reportToStandardError(const std::string& message);

class WaitingRoom {
  public:
    // `listener` must outlive the room; it is used in blocking mode (an
    // accept is made only when one is known to be pending, or when nothing
    // else is waiting).
    WaitingRoom(const Socket& listener, WaitLimits limits);

    // The next connection to serve. Nothing only when the listener is gone
    // for good (closed, or not a listening socket); acceptError() then tells
    // why. Every other accept error is reported and waited out.
    std::optional<Arrival> next();
    int acceptError() const { return acceptError_; }
    // Connections accepted and still silent.
    std::size_t waiting() const { return waiting_.size(); }
    // Silent connections held for `peer`.
    std::size_t waitingFrom(Ipv4 peer) const;

  private:
    struct Guest {
        Socket socket;
        Ipv4 peer = 0;
        std::chrono::steady_clock::time_point deadline;
    };
    enum class Accepted { One, NoneNow, Passing, Gone };
    Accepted acceptOne();
    bool acceptSome();
    void hold(Socket socket, Ipv4 peer);
    bool receiveFirst(Socket& socket, Ipv4 peer);
    void giveUp(std::size_t index);
    bool giveUpOneOfMost(std::optional<Ipv4> only = std::nullopt);
    void giveUpExpired();
    void passingError(int error);
    bool waitForInput();

    const Socket& listener_;
    WaitLimits limits_;
    std::deque<Guest> waiting_;  // in the order they were accepted
    std::deque<Arrival> ready_;  // in the order their requests came
    std::chrono::steady_clock::time_point acceptPausedUntil_{};
    std::set<int> reported_;  // kinds of error reported since the last accept
    // mostWaiting, lowered for good when descriptors ran out.
    std::size_t mostHeld_ = 0;
    int acceptError_ = 0;
};

}  // namespace platform
