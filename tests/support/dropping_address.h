// SPDX-License-Identifier: Apache-2.0
// A loopback address whose port 1283 drops connection attempts, as a unit
// behind a filtering firewall or a powered-off host on a switched network
// does: a client's connect gets no answer at all, not a refusal.
#pragma once

#include <string>
#include <vector>

#include "platform/socket.h"

namespace support {

// A listener on ADDRESS:1283 that never accepts, with its accept queue
// filled by connections of its own: Linux then drops every further SYN
// instead of answering it. Everything is closed with the object.
class DroppingAddress {
  public:
    explicit DroppingAddress(const std::string& address);
    // True once a connect to the address has been seen to time out.
    bool dropping() const { return dropping_; }

  private:
    platform::Socket listener_;
    std::vector<platform::Socket> queued_;
    bool dropping_ = false;
};

}  // namespace support
