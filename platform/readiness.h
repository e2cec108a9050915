// SPDX-License-Identifier: Apache-2.0
// Waiting for several sockets at once: poll on POSIX (WSAPoll on Windows).
// Servers use it to wait for new connections and for the first bytes of the
// ones they hold, without blocking on any single one.
#pragma once

#include <chrono>
#include <span>

#include "platform/socket.h"

namespace platform {

// One socket to watch for input. `ready` is set when it is readable, hung up
// or in error: a receive on it then returns at once.
struct Watch {
    int fd = -1;
    bool ready = false;
};

// Waits until at least one watched socket is ready or `timeout` passes
// (negative: no limit). Returns how many are ready, 0 after the time-out,
// negative on failure (an interrupted wait counts as a time-out).
int waitAny(std::span<Watch> watches, std::chrono::milliseconds timeout);

// True when the socket can take more bytes, or is hung up or in error, within
// `timeout`; false after the time-out (an interrupted wait counts as one).
bool waitWritable(const Socket& socket, std::chrono::milliseconds timeout);

// True when the socket is readable or hung up within `timeout`.
bool waitReadable(const Socket& socket, std::chrono::milliseconds timeout);

}  // namespace platform
