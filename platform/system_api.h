// SPDX-License-Identifier: Apache-2.0
// The system's socket API headers, for the files of platform/ whose calls are the
// same on every system (getaddrinfo, gethostname, htonl and friends).
#pragma once

#ifdef _WIN32
// winsock2.h must come before anything that includes windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>

#include "platform/socket.h"

namespace platform {

// address:port as the socket calls take it.
inline sockaddr_in socketAddress(Ipv4 address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

// One send that does not wait: the count of bytes the system took, 0 when it
// took none for now, negative on failure. On Windows the socket is left in
// blocking mode afterwards.
long sendWithoutWaiting(const Socket& socket, const void* data, std::size_t size);

// The system's poll (WSAPoll on Windows): the count of ready entries, 0 after
// the time-out, negative on failure.
int pollSockets(pollfd* fds, std::size_t count, int timeoutMs);

}  // namespace platform
