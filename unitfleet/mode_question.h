// SPDX-License-Identifier: Apache-2.0
// One question to one unit, as the status checkers ask it: connect, send the
// name of one mode, read one reply. discover asks for UnitID, status for
// UnitStatus.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/client_session.h"

namespace unitfleet {

struct ModeAnswer {
    protocol::ClientSession::Status status = protocol::ClientSession::Status::Lost;
    // The reply named the mode asked ("UnitID = ..."): a unit answered.
    bool named = false;
    std::string value;   // the mode's value, when named
    double seconds = 0;  // from the start of the connect to the reply
    std::string cause;   // a failed connect: why ("connection refused", ...)
};

// `port` 0 is the units' port, 1283.
ModeAnswer askMode(protocol::ClientSession& session, const std::string& address, std::uint16_t port,
                   const std::string& mode, std::chrono::milliseconds timeout);

}  // namespace unitfleet
