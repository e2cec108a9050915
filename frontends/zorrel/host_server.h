// SPDX-License-Identifier: Apache-2.0
// A small host server for units, run one step at a time by its caller (the
// Zorrel window's poll timer): listen on a port, take at most one waiting
// unit connection per poll and read its one request, answer it on the same
// connection, close it. Nothing here blocks for long: a poll looks at the
// listener without waiting, and a started request must arrive within a short
// bound, so a silent unit cannot hold up the caller.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "protocol/frame.h"
#include "protocol/payload.h"
#include "protocol/product_query.h"

namespace zorrel {

// Poll results.
inline constexpr int kPollFailed = -1;  // a connection came but no request could be read
inline constexpr int kPollNothing = 0;  // no unit waiting (or the server is not listening)
inline constexpr int kPollTrivial = 1;  // plain text ended by a zero byte
inline constexpr int kPollNominal = 2;  // a frame

struct HostServerLimits {
    // How long a request may take to arrive once its connection was accepted.
    std::chrono::milliseconds requestBound{500};
    // How long one answer may take in all to reach a unit that reads slowly
    // or not at all.
    std::chrono::milliseconds sendBound{2000};
    // The largest file frame sent (the units' own frame buffer).
    std::size_t maxFileFrame = 102400;
};

class HostServer {
  public:
    // Files sent with sendFile come from `fileDirectory` (UTF-8, as the
    // platform layer's file calls take names).
    explicit HostServer(std::string fileDirectory, HostServerLimits limits = {});

    // Listens on `port` of `address` (0: all addresses); an earlier listener
    // and connection are closed first. False when the port cannot be bound.
    bool start(std::uint16_t port, platform::Ipv4 address = 0);
    bool listening() const { return listener_.valid(); }
    // Closes the connection and the listener.
    void stop();

    // Ends any connection an earlier poll left open, then, when the listener
    // is readable, takes one waiting unit and reads its request.
    int poll();
    // Takes a waiting unit without blocking and reads its request: nothing
    // when no connection waits, also when one vanished after a readiness
    // check said it was there.
    int takeWaitingUnit();
    // Closes the connection of the last poll (nothing when there is none).
    void endConnection();
    bool connected() const { return connection_.valid(); }

    // The request of the last poll.
    bool requestIsFrame() const { return request_.isFrame; }
    // Trivial request: its text up to the zero byte; empty for a frame.
    std::string_view trivialText() const;
    // Nominal request: the 1-based position of its type in the type table
    // (1 TERM ... 7 PROD ... 10 EVNT; a frame too short or of unknown type
    // counts as TERM); 0 for trivial text or no request.
    int packetKind() const;
    // PROD request: prefix and barcode of its text; empty for other requests.
    protocol::ProductQuery productQuery() const;
    // EVNT request: its fields; zeros and an empty text for other requests.
    protocol::Event event() const;

    // Answers with a text in the request's own form: the text and its zero
    // byte for trivial text, a DATA TEXT frame for a frame. Bytes sent, 0
    // when there is no connection, -1 when the send failed.
    long sendText(std::string_view text);
    // Sends the file `name` of the file directory as a DATA FILE image frame
    // (kind GIF_). `name` must be a plain file name. Bytes sent, 0 when there
    // is no connection, -1 when the file cannot be sent.
    long sendFile(std::string_view name);

  private:
    bool readRequest();
    bool requestComplete() const;
    protocol::ConstBytes requestBytes() const { return {buffer_.data(), size_}; }
    long sendBytes(protocol::ConstBytes bytes);

    std::string fileDirectory_;
    HostServerLimits limits_;
    platform::Socket listener_;
    platform::Socket connection_;
    std::array<std::uint8_t, 8192> buffer_{};
    std::size_t size_ = 0;
    protocol::Request request_;
};

}  // namespace zorrel
