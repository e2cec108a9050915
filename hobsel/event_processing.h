// SPDX-License-Identifier: Apache-2.0
// Answers to the units' touch, key and button events: a look-up key per
// event, and the answer sent back on a new connection to the unit's port
// 1283, as a record or as a print packet.
#pragma once

#include <cstdint>
#include <string>

#include "hobsel/context.h"
#include "protocol/frame.h"

namespace hobsel {

// The event's fields, read from the frame; a field past the frame's end
// reads as 0.
struct EventFields {
    std::uint32_t newStarts = 0;
    std::uint32_t keyCode = 0;
    std::uint32_t column = 0;
    std::uint32_t row = 0;
};
EventFields readEventFields(protocol::ConstBytes frame);

// Sends an answer to the unit that reported the event. A unit that cannot
// be reached is reported and the server goes on.
void forwardAnswer(Context& c, const EventAnswer& answer);

}  // namespace hobsel
