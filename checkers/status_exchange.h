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

#include "net/socket.h"

namespace checkers {

inline constexpr std::size_t kMessageBufferSize = 2048;
inline constexpr std::string_view kStatusMode = "UnitStatus";
// A unit that accepts but never answers must not hold a checker for ever.
inline constexpr std::chrono::milliseconds kReplyTimeout{10000};

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
bool sendStatusQuery(const net::Socket& socket, MessageBuffer& buffer, std::FILE* out);

// Reads one reply frame of any type into the cleared buffer and returns its
// body text (to the first zero byte or the frame's end). Nothing when no
// reply could be taken: a length field that does not arrive, one below 8 or of
// 2048 and more (nothing further is read then), or a frame cut short by a
// close, a failure or the time-out. The whole read ends within `timeout`.
std::optional<std::string_view> receiveStatusReply(const net::Socket& socket,
                                                   MessageBuffer& buffer,
                                                   std::chrono::milliseconds timeout);

// Query, then `afterSend` (Drosk numbers its answers there), then the reply,
// printed with no line end added. True when a reply was taken.
bool exchangeStatus(const net::Socket& socket, MessageBuffer& buffer, std::FILE* out,
                    std::chrono::milliseconds timeout,
                    const std::function<void()>& afterSend = {});

// The current local time in ctime form: 24 characters and a line feed.
std::string timeStamp();

// "Error connecting to %s at %s" with the address text and the time.
void reportConnectFailure(std::FILE* out, const std::string& address);

}  // namespace checkers
