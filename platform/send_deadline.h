// SPDX-License-Identifier: Apache-2.0
// One time limit shared by every send of an answer, however many pieces it
// goes out in: a peer that stops reading holds the sender for at most the
// limit in all, not for the limit once per piece. After the first failed
// send every later one fails at once, so an answer stops at its first lost
// piece.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/socket.h"

namespace platform {

class SendDeadline {
  public:
    enum class Counting {
        // The limit runs from the deadline's creation, like a clock on the
        // wall: for a sender that has nothing else to do between sends.
        WallClock,
        // Only the time spent waiting for the peer to take bytes counts, so
        // deliberate pauses between the pieces of an answer do not use it up.
        WaitingOnly,
    };

    explicit SendDeadline(std::chrono::milliseconds limit, Counting counting = Counting::WallClock);

    // Sends every byte of `data` before the limit runs out. False when the
    // peer failed, the limit ran out, or an earlier send through this
    // deadline failed.
    bool send(const Socket& socket, const void* data, std::size_t size);

    // An earlier send failed: the rest of the answer is not worth sending.
    bool failed() const { return failed_; }
    // What is left of the limit.
    std::chrono::milliseconds left() const;

  private:
    using Clock = std::chrono::steady_clock;
    bool fail();

    Counting counting_;
    Clock::time_point end_;               // WallClock
    std::chrono::nanoseconds budget_{0};  // WaitingOnly
    bool failed_ = false;
};

}  // namespace platform
