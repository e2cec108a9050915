// SPDX-License-Identifier: Apache-2.0
// Hostile peers of a host server, each in a thread of its own until it is
// stopped (the destructor stops it): one that asks for a large answer and
// never reads it, one that reads it slowly in LAN-sized segments, and one
// that floods the server with connections that send nothing. And the valid
// unit whose answer they must not delay. Loopback only, bounded in time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace support {

enum class HostileKind { NeverReads, ReadsSlowly, Floods };

struct HostileOptions {
    HostileKind kind = HostileKind::NeverReads;
    std::string host = "127.0.0.1";
    std::uint16_t port = 1283;
    std::string from;                   // local address of every connection it makes
    std::string request;                // sent as it stands (NeverReads, ReadsSlowly)
    std::chrono::seconds longest{120};  // it stops by itself after this
};

class HostilePeer {
  public:
    explicit HostilePeer(HostileOptions options);
    ~HostilePeer();
    HostilePeer(const HostilePeer&) = delete;
    HostilePeer& operator=(const HostilePeer&) = delete;

    void stop();
    // Connections made so far.
    std::size_t connections() const { return connections_; }

  private:
    void run();
    void oneAnswer(bool readSlowly);
    void flood();

    HostileOptions options_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> connections_{0};
    std::thread thread_;
};

struct UnitReply {
    bool connected = false;
    bool closedByServer = false;
    std::string bytes;
    std::chrono::milliseconds elapsed{0};  // from connecting to the close
};

// A valid unit: connects from `from`, sends `request` after `delay`, reads
// until the server closes; gives up after `timeout`.
UnitReply askAfter(const std::string& host, std::uint16_t port, const std::string& from,
                   const std::string& request, std::chrono::milliseconds delay,
                   std::chrono::milliseconds timeout);

}  // namespace support
