// SPDX-License-Identifier: Apache-2.0
// A storm of malformed requests for host-server tests: absurd length
// fields, truncated frames, junk, connections closed at once and connections
// reset. Bounded in count and time; loopback only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace support {

struct StormOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 1283;
    std::string from;  // local address to connect from; empty: any
    std::size_t connections = 2000;
    std::chrono::milliseconds answerWait{2000};  // per connection, at most
    std::chrono::seconds total{90};              // the whole storm, at most
};

// Makes `connections` bad connections one after the other; returns how many
// could connect.
std::size_t runStorm(const StormOptions& options);

// Open descriptors of a process (entries of /proc/PID/fd); -1 when unknown.
int openDescriptors(int pid);

}  // namespace support
