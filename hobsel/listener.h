// SPDX-License-Identifier: Apache-2.0
// The listening socket, the serving loops (network and console) and the
// handling of one request.
#pragma once

#include <cstdio>
#include <optional>

#include "hobsel/context.h"
#include "hobsel/packet_log.h"
#include "platform/waiting_room.h"

namespace hobsel {

// The listening socket on all local addresses; invalid after a failure,
// which has been reported.
platform::Socket establish(Context& c);

// Serves one connection handed over by the waiting room: its request as
// received there (or, when it stayed silent, an empty request, unread), then
// the socket is closed.
void serveConnection(Context& c, platform::Arrival arrival);

// Serves one request held in `buffer` (kRequestSize bytes and one more zero
// byte, so text requests always end).
void serveRequest(Context& c, char* buffer, Connection connection, platform::Ipv4 peer);

// Waits for many connections at once and serves their requests one at a
// time, in the order they arrive, for ever; returns only with the exit status of a fatal
// failure.
int serveNetwork(Context& c, const platform::Socket& listener);

// Serves lines from `input` until it ends; returns the exit status.
int serveConsole(Context& c, std::FILE* input);

// Start-up and serving, from the arguments after the program name.
int runHobsel(Context& c, const std::vector<std::string>& args);

}  // namespace hobsel
