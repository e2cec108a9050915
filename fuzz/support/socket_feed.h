// SPDX-License-Identifier: Apache-2.0
// Hands a fuzzer's bytes to a client's reply reader the way a unit would:
// through a connected socket whose other end has sent them all and closed,
// so every read ends at once instead of waiting for more.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

#include "platform/socket.h"

namespace fuzz {

class SocketFeed {
  public:
    // What the unit's end does once it has sent everything: close, or only
    // stop sending, so a client that sends queries first (a client session)
    // can still send them while it reads the fed bytes.
    enum class Then { Close, StopSending };

    // Inputs beyond what the socket buffers hold are cut, never waited on.
    SocketFeed(const std::uint8_t* data, std::size_t size, Then then = Then::Close) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
            return;
        reader_ = platform::Socket(fds[0]);
        platform::Socket writer(fds[1]);
        if (size > kMostFed)
            size = kMostFed;
        platform::sendAll(writer, data, size);
        if (then == Then::StopSending) {
            ::shutdown(writer.fd(), SHUT_WR);
            writer_ = std::move(writer);
        }
    }
    const platform::Socket& socket() const { return reader_; }
    // The client's end, for a client that takes it over.
    platform::Socket take() { return std::move(reader_); }
    bool valid() const { return reader_.valid(); }

  private:
    static constexpr std::size_t kMostFed = 64 * 1024;
    platform::Socket reader_;
    platform::Socket writer_;  // kept open only with Then::StopSending
};

}  // namespace fuzz
