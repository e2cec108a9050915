// SPDX-License-Identifier: Apache-2.0
// The library's one connection per process: the socket, the frame buffer
// every send and receive uses, and the last connect result. Every export
// works through `session()`.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/socket.h"
#include "protocol/frame.h"
#include "protocol/transport.h"

namespace lumetra {

inline constexpr std::size_t kFrameBufferSize = 102400;
inline constexpr std::chrono::milliseconds kConnectTimeout{500};
// Bounds the whole wait for each reply (keep-alives ahead of it included),
// and every send a unit stops reading.
inline constexpr std::chrono::milliseconds kReceiveTimeout{10000};
inline constexpr std::chrono::milliseconds kSendTimeout{10000};

class Session {
  public:
    // Connects to the unit's port 1283, closing any connection still open
    // first. The frame buffer is allocated here when there is none.
    bool connect(const char* unitAddress);
    // Closes the socket and frees the frame buffer; harmless when closed.
    void close();
    bool isOpen() const { return socket_.valid() && buffer_ != nullptr; }

    // The whole frame buffer; empty while closed.
    protocol::Bytes buffer();

    // Sends the first `length` bytes of the buffer; a failure prints
    // "\nError sending..\n" on standard output.
    bool sendFrame(std::size_t length);
    // Sends a frame from a buffer of the caller's own, with the same message.
    bool sendFrame(protocol::ConstBytes frame);
    // Builds and sends a query; a failure is silent.
    bool sendQuery(std::string_view text);
    // Reads the next reply that is not a keep-alive, within the receive
    // time-out as a whole. A failed read (closed, timed out, oversized)
    // leaves the stream unusable, so it also closes the connection.
    protocol::ReplyStatus receiveReply();
    // The reply `receiveReply` left in the buffer.
    std::optional<protocol::FrameView> reply() const;
    // The text of the reply's body; empty when there is no reply.
    std::string_view replyText() const;

    std::int16_t lastError() const { return lastError_; }
    void setLastError(std::int16_t value) { lastError_ = value; }

    // Tests shorten the waits; the library always uses kReceiveTimeout and
    // kSendTimeout.
    void setTimeouts(std::chrono::milliseconds receive, std::chrono::milliseconds send) {
        receiveTimeout_ = receive;
        sendTimeout_ = send;
    }

  private:
    platform::Socket socket_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::int16_t lastError_ = 0;
    bool started_ = false;
    std::chrono::milliseconds receiveTimeout_ = kReceiveTimeout;
    std::chrono::milliseconds sendTimeout_ = kSendTimeout;
};

Session& session();

// Runs an export's body; anything thrown becomes the export's failure result
// so that nothing crosses the C boundary.
template <typename Result, typename Body>
Result guarded(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace lumetra
