// SPDX-License-Identifier: Apache-2.0
#include "mibbet/server.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mibbet/request.h"

namespace mibbet {

Server::Server(ServerOptions options)
    : options_(std::move(options)), data_(options_.dataPath) {}

bool Server::start(std::FILE* out) {
    if (platform::startup() != 0) {
        std::fprintf(out, "A useable WinSock DLL not fount");
        return false;
    }
    std::string self = platform::localHostName();
    if (self.empty() || !platform::lookupHost(self)) {
        std::fprintf(out, "gethostbyname failed");
        return false;
    }
    listener_ = platform::createTcpSocket();
    if (!listener_) {
        std::fprintf(out, "socket failed");
        return false;
    }
    platform::setNoDelay(listener_);
    // Lets a restarted server take its port back while connections it closed
    // linger in TIME_WAIT; a port held by another listener still fails.
    platform::setReuseAddress(listener_);
    if (!platform::bindTo(listener_, options_.port) || !platform::listenOn(listener_, kBacklog)) {
        std::fprintf(out, "bind failed");
        listener_.close();
        return false;
    }
    platform::WaitLimits limits;
    limits.firstBytes = options_.receiveTimeout;
    limits.requestSize = kRequestSize;
    limits.report = platform::reportToStandardError;
    room_.emplace(listener_, std::move(limits));
    return true;
}

bool Server::serveOne() {
    if (!room_)
        return false;  // not started
    std::optional<platform::Arrival> arrival = room_->next();
    if (!arrival) {
        acceptError_ = room_->acceptError();
        return false;
    }
    if (!arrival->silent)
        serve(*arrival);
    arrival->socket.close();
    ++counter_;
    return true;
}

void Server::serve(const platform::Arrival& arrival) {
    if (arrival.received < 0) return;
    std::optional<std::string_view> query = queryText(arrival.request);
    if (!query) return;
    std::optional<std::string_view> key = keyOf(*query);
    if (!key) return;
    std::optional<std::string> value = data_.lookup(*key);
    std::string answer = value ? std::move(*value) : notFoundAnswer(*key, counter_);
    // The answer is the text and its zero byte, never a frame; it waits at
    // most the send time-out for the client in all.
    platform::sendAllWithin(arrival.socket, answer.c_str(), answer.size() + 1, options_.sendTimeout);
}

int runServer(const ServerOptions& options) {
    Server server(options);
    if (!server.start(stdout)) {
        std::fflush(stdout);
        return 1;
    }
    std::fflush(stdout);
    while (server.serveOne()) {
    }
    errno = server.acceptError();
    std::perror("accept");
    return 1;
}

}  // namespace mibbet
