// SPDX-License-Identifier: Apache-2.0
// Mibbet's listener and serving loop: one connection at a time, one receive
// per connection, at most one trivial answer, then the close.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "mibbet/data_file.h"
#include "platform/socket.h"
#include "platform/waiting_room.h"

namespace mibbet {

inline constexpr std::uint16_t kPort = 1283;
inline constexpr int kBacklog = platform::kServerBacklog;
inline constexpr std::size_t kRequestSize = 8192;
// A client that connects and sends nothing must not stop the server for
// every unit: its connection is closed unanswered after this.
inline constexpr std::chrono::milliseconds kReceiveTimeout{30000};
// A client that stops reading its answer is dropped after this long.
inline constexpr std::chrono::milliseconds kSendTimeout{5000};

struct ServerOptions {
    std::uint16_t port = kPort;
    std::chrono::milliseconds receiveTimeout = kReceiveTimeout;
    std::chrono::milliseconds sendTimeout = kSendTimeout;
    std::string dataPath = kDataFileName;
};

class Server {
public:
    explicit Server(ServerOptions options = {});

    // Socket layer, own host name lookup, socket with no-delay, bind on all
    // addresses, listen. On failure its message is on `out` (no line end).
    bool start(std::FILE* out);

    // Serves the next connection whose request has arrived (or that gave up
    // without one); many wait at once, one is served at a time. False when
    // accepting failed for good; the reason is in `acceptError`.
    bool serveOne();
    int acceptError() const { return acceptError_; }

    // Connections handled since start.
    long long connections() const { return counter_; }

private:
    void serve(const platform::Arrival& arrival);

    ServerOptions options_;
    platform::Socket listener_;
    std::optional<platform::WaitingRoom> room_;
    DataFile data_;
    long long counter_ = 0;
    int acceptError_ = 0;
};

// The program: start, then serve for ever. Returns the exit status.
int runServer(const ServerOptions& options = {});

}  // namespace mibbet
