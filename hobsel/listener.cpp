// SPDX-License-Identifier: Apache-2.0
#include "hobsel/listener.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "hobsel/barcode_answer.h"
#include "hobsel/options.h"
#include "hobsel/seams.h"
#include "platform/waiting_room.h"

namespace hobsel {

namespace {

using protocol::ConstBytes;

ConstBytes requestBytes(const char* buffer) {
    return {reinterpret_cast<const std::uint8_t*>(buffer), kRequestSize};
}

void skipInput(Context& c, char* buffer) {
    int skip = c.settings.inputSkip;
    if (skip <= 0)
        return;
    std::size_t count = std::min<std::size_t>(skip, kRequestSize);
    std::memmove(buffer, buffer + count, kRequestSize - count);
    std::memset(buffer + kRequestSize - count, 0, count);
}

// A product query's body is answered like the same text sent bare.
void serveProductQuery(Context& c, char* buffer, Connection connection) {
    std::string_view text = protocol::textUntilZero(requestBytes(buffer).subspan(8));
    std::memmove(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    textAnswer(c, buffer, connection);
}

// The traces of taking a connection, written when it is handed over for
// serving, so each connection's lines stay together and in their order.
void traceConnection(Context& c, const platform::Socket& listener, const platform::Arrival& arrival) {
    platform::Ipv4 peer = arrival.peer;
    c.say(2, "Waiting for connection on %d\n", listener.fd());
    c.say(2, "get_connection: accept returned %d\n", arrival.socket.fd());
    c.say(2, "Connection from %d.%d.%d.%d\n", int(peer >> 24), int((peer >> 16) & 0xFF),
          int((peer >> 8) & 0xFF), int(peer & 0xFF));
}

}  // namespace

platform::Socket establish(Context& c) {
    if (platform::startup() != 0) {
        c.write("A useable WinSock DLL not fount");
        return {};
    }
    std::string host = c.settings.hostName.empty() ? platform::localHostName() : c.settings.hostName;
    if (!platform::lookupHost(host)) {
        c.write("gethostbyname failed");
        return {};
    }
    platform::Socket listener = platform::createTcpSocket();
    c.say(2, "establish: socket is %d\n", listener.fd());
    if (!listener) {
        c.write("socket failed");
        return {};
    }
    platform::setNoDelay(listener);
    // Lets Hobsel restart on its port while connections it closed linger.
    platform::setReuseAddress(listener);
    if (!platform::bindTo(listener, c.settings.port)) {
        c.write("bind failed");
        return {};
    }
    if (!platform::listenOn(listener, platform::kServerBacklog)) {
        c.write("listen failed");
        return {};
    }
    c.say(2, "establish: listening on %d for %d\n", listener.fd(), platform::kServerBacklog);
    return listener;
}

void serveRequest(Context& c, char* buffer, Connection connection, platform::Ipv4 peer) {
    skipInput(c, buffer);
    buffer[kRequestSize] = '\0';
    if (buffer[0] != '\0') {
        textAnswer(c, buffer, connection);
        return;
    }
    if (c.settings.verbosity == 1)
        c.write("Received a Nominal-mode packet\n");
    if (c.verbose(2)) {
        c.write("%s", c.timeLine().c_str());
        packetLog(c, "Received", requestBytes(buffer));
    }
    switch (protocol::classifyRequest(requestBytes(buffer)).type) {
        case protocol::FrameType::Event: {
            std::vector<char> work(kRequestSize, 0);
            processEvent(c, requestBytes(buffer), peer, work);
            break;
        }
        case protocol::FrameType::ProductQuery:
            serveProductQuery(c, buffer, connection);
            break;
        default:
            break;  // logged above; nothing to answer
    }
}

void serveConnection(Context& c, platform::Arrival arrival) {
    c.peer = arrival.peer;
    std::vector<char> buffer(kRequestSize + 1, 0);
    std::copy_n(arrival.request.begin(), std::min(arrival.request.size(), kRequestSize),
                buffer.begin());
    long result = arrival.silent ? -1 : arrival.received;
    c.say(2, "read returned %d\n", static_cast<int>(result));
    // A unit that sent nothing within the time-out is served as an empty
    // request, so one silent client cannot hold the server for every unit.
    if (result >= 0 || arrival.silent) {
        // Every piece of the answer shares one time limit.
        Outlet outlet(std::move(arrival.socket), c.sendTimeout);
        serveRequest(c, buffer.data(), &outlet, arrival.peer);
    } else {
        c.say(1, "Error on read: %d\n", static_cast<int>(result));
    }
    c.unitConnection.close();
}

int serveNetwork(Context& c, const platform::Socket& listener) {
    platform::WaitLimits limits;
    limits.firstBytes = c.receiveTimeout;
    limits.requestSize = kRequestSize;
    limits.report = platform::reportToStandardError;
    platform::WaitingRoom room(listener, std::move(limits));
    for (;;) {
        c.say(1, "\nWaiting for connection\n");
        std::optional<platform::Arrival> arrival = room.next();
        if (!arrival) {
            errno = room.acceptError();
            std::perror("accept");
            return 1;
        }
        traceConnection(c, listener, *arrival);
        c.say(1, "Got connection %d\n", arrival->socket.fd());
        serveConnection(c, std::move(*arrival));
        ++c.requestCounter;
    }
}

int serveConsole(Context& c, std::FILE* input) {
    std::vector<char> buffer(kRequestSize + 1, 0);
    c.peer = 0;
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), 0);
        c.write("listening: ");
        // End of input ends Hobsel: there is nothing more to serve.
        if (std::fgets(buffer.data(), static_cast<int>(kRequestSize), input) == nullptr)
            return 0;
        serveRequest(c, buffer.data(), nullptr, 0);
        ++c.requestCounter;
    }
}

int runHobsel(Context& c, const std::vector<std::string>& args) {
    c.write("Version V7.01\n");
    CommandLine line = readCommandLine(c, args);
    if (line.exit)
        return line.status;
    startupSummary(c);
    if (c.settings.console)
        return serveConsole(c, stdin);
    platform::Socket listener = establish(c);
    c.say(2, "establish returned %d\n", listener.fd());
    if (!listener)
        return 1;
    return serveNetwork(c, listener);
}

}  // namespace hobsel
