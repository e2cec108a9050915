// SPDX-License-Identifier: Apache-2.0
// Send and receive loops of a configuration client on a unit connection.
// Every wait for a reply has an overall deadline: a unit that trickles bytes
// or sends keep-alives for ever cannot hold a client longer than its limit.
#pragma once

#include <chrono>
#include <string_view>

#include "platform/socket.h"
#include "protocol/frame.h"

namespace protocol {

using ReplyClock = std::chrono::steady_clock;

// The wait for one reply when a caller names none.
inline constexpr std::chrono::milliseconds kReplyLimit{10000};

// Sends the first `length` bytes of the buffer; false when a send fails.
bool sendFrame(const platform::Socket& socket, ConstBytes frame);

// Builds an MDSQ query in `buffer` and sends it; false when it does not fit or
// the send fails.
bool sendQuery(const platform::Socket& socket, Bytes buffer, std::string_view text);

enum class ReplyStatus {
    Reply,        // a frame is in the buffer
    ErrorReport,  // an ERR_ frame is in the buffer (its text at offset 8)
    Failed,       // closed, failed or timed out mid-frame, or a length field the
                  // buffer cannot hold (or below 8): the connection is broken
};

enum class ReplyMode {
    SkipKeepAlives,  // skip DATA/NOP_ frames; report ERR_ as ErrorReport
    AnyFrame,        // the next frame whatever it is; never ErrorReport
};

// Why a read ended in ReplyStatus::Failed, for clients that tell the user.
enum class ReplyFailure {
    None,
    Closed,     // the peer closed before a whole frame arrived
    TimedOut,   // the deadline (or the socket's own receive time-out) passed
    Failed,     // a receive failed otherwise
    BadLength,  // the length field (left at the buffer's start) is below 8 or
                // larger than the buffer
};

// Reads one whole frame into the start of `buffer`. Bytes after the frame keep
// what the buffer held; a frame is never read past the buffer's end. The whole
// read, keep-alives skipped included, ends by `deadline`: each receive waits
// only for what is left of it (and never longer than the socket's own receive
// time-out, when one is set; that setting is left as it was). `why`, when
// given, says why the read failed (None after success).
ReplyStatus receiveReply(const platform::Socket& socket, Bytes buffer, ReplyClock::time_point deadline,
                         ReplyMode mode = ReplyMode::SkipKeepAlives, ReplyFailure* why = nullptr);

// The same, ending at the latest `limit` from now.
ReplyStatus receiveReply(const platform::Socket& socket, Bytes buffer, std::chrono::milliseconds limit,
                         ReplyMode mode = ReplyMode::SkipKeepAlives, ReplyFailure* why = nullptr);

// The same with kReplyLimit.
ReplyStatus receiveReply(const platform::Socket& socket, Bytes buffer,
                         ReplyMode mode = ReplyMode::SkipKeepAlives);

}  // namespace protocol
