// SPDX-License-Identifier: Apache-2.0
// The one exchange both checkers make with a unit: a fresh connection to its
// configuration port, the "UnitStatus" query, one reply frame whose body is
// printed as it stands.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "protocol/transport.h"

namespace checkers {

inline constexpr std::size_t kMessageBufferSize = 2048;
inline constexpr std::string_view kStatusMode = "UnitStatus";
// A unit that accepts but never answers, trickles its reply or sends
// keep-alives for ever must not hold a checker: this bounds the whole wait.
inline constexpr std::chrono::milliseconds kReplyTimeout{10000};
// A unit that drops connection attempts must not hold a check for minutes.
inline constexpr std::chrono::milliseconds kConnectTimeout{5000};

// The 2048-byte buffer that carries the query and then the reply.
class MessageBuffer {
  public:
    // Empty (invalid) when the memory cannot be had.
    static MessageBuffer allocate();
    bool valid() const { return bytes_ != nullptr; }
    std::span<std::uint8_t> bytes() { return {bytes_.get(), kMessageBufferSize}; }
    void clear();

  private:
    std::unique_ptr<std::uint8_t[]> bytes_;
};

// Builds the 19-byte MDSQ "UnitStatus" frame at the start of the cleared
// buffer and sends it. A failed send prints "\nError sending..\n".
bool sendStatusQuery(const platform::Socket& socket, MessageBuffer& buffer, std::FILE* out);

// Reads one reply frame into the cleared buffer, skipping keep-alives, and
// leaves its body text (to the first zero byte or the frame's end) in `text`.
// A reply of any other type is taken. The whole read, keep-alives included,
// ends within `timeout`; a length field below 8 or of 2048 and more is not
// read further. The result says why no reply could be taken (None after
// success).
protocol::ReplyFailure receiveStatusReply(const platform::Socket& socket, MessageBuffer& buffer,
                                          std::chrono::milliseconds timeout,
                                          std::string_view& text);

// Query, then `afterSend` (Drosk numbers its answers there), then the reply,
// printed with no line end added. When no reply can be taken a line says why
// (naming `program` and the unit's `address`). True when a reply was taken.
struct Exchange {
    const char* program;
    std::string address;
    std::chrono::milliseconds timeout;
};
bool exchangeStatus(const platform::Socket& socket, MessageBuffer& buffer, std::FILE* out,
                    const Exchange& exchange, const std::function<void()>& afterSend = {});

// Connects the socket to the unit's port 1283, waiting at most
// kConnectTimeout for a unit that drops connection attempts; a refusal
// fails at once.
bool connectToUnit(const platform::Socket& socket, platform::Ipv4 address);

// The current local time in ctime form: 24 characters and a line feed.
std::string timeStamp();

// "Error connecting to %s at %s" with the address text and the time.
void reportConnectFailure(std::FILE* out, const std::string& address);

}  // namespace checkers
