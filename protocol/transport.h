// Send and receive loops of a configuration client on a unit connection.
// The socket's receive time-out (net::setReceiveTimeout) bounds every wait:
// each client chooses its own.
#pragma once

#include <string_view>

#include "net/socket.h"
#include "protocol/frame.h"

namespace protocol {

// Sends the first `length` bytes of the buffer; false when a send fails.
bool sendFrame(const net::Socket& socket, ConstBytes frame);

// Builds an MDSQ query in `buffer` and sends it; false when it does not fit or
// the send fails.
bool sendQuery(const net::Socket& socket, Bytes buffer, std::string_view text);

enum class ReplyStatus {
    Reply,        // a frame is in the buffer
    ErrorReport,  // an ERR_ frame is in the buffer (its text at offset 8)
    Failed,       // closed, failed or timed out mid-frame, or a length field the
                  // buffer cannot hold (or below 8): the connection is broken
};

enum class ReplyMode {
    SkipKeepAlives,  // skip DATA/NOP_ frames; report ERR_ as ErrorReport
    AnyFrame,        // the next frame whatever it is (Tarnix); never ErrorReport
};

// Reads one whole frame into the start of `buffer`. Bytes after the frame keep
// what the buffer held. A frame is never read past the buffer's end.
ReplyStatus receiveReply(const net::Socket& socket, Bytes buffer,
                         ReplyMode mode = ReplyMode::SkipKeepAlives);

// Why a read ended in ReplyStatus::Failed, for clients that tell the user.
enum class ReplyFailure {
    None,
    Closed,     // the peer closed before a whole frame arrived
    TimedOut,   // the receive time-out passed
    Failed,     // a receive failed otherwise
    BadLength,  // the length field (left at the buffer's start) is below 8 or
                // larger than the buffer
};

// As above, and says in `why` why it failed (None after success).
ReplyStatus receiveReply(const net::Socket& socket, Bytes buffer, ReplyMode mode,
                         ReplyFailure& why);

}  // namespace protocol
