// SPDX-License-Identifier: Apache-2.0
// Where the touch demo and event processing join the serving path. The
// answers to events and the scripted touch demonstration live behind these
// calls, in files of their own.
#pragma once

#include <span>
#include <string_view>

#include "hobsel/context.h"
#include "hobsel/packet_log.h"
#include "protocol/frame.h"

namespace hobsel {

// An SLT_EVENT frame from the unit at `peer`; `work` is an 8192-byte buffer
// for the record the event finds. The request is finished afterwards.
void processEvent(Context& c, protocol::ConstBytes frame, platform::Ipv4 peer, std::span<char> work);

// True while the touch demo has no current state: swipes and scans then go
// to the demo instead of being answered.
bool touchDemoIdle(const Context& c);

// A card swipe (text beginning "%") or a scan handed to the idle demo.
void touchDemoSwipeOrScan(Context& c, std::string_view text);

}  // namespace hobsel
