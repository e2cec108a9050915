// Waiting for a socket to have input without blocking on it for longer
// than the caller allows: poll on POSIX (WSAPoll on Windows).
#pragma once

#include <chrono>

#include "net/socket.h"

namespace net {

// True when the socket is readable or hung up within `timeout` (zero: look
// once without waiting). A listening socket is readable when a connection waits.
bool waitReadable(const Socket& socket, std::chrono::milliseconds timeout);

}  // namespace net
