#include "mibbet/server.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mibbet/request.h"

namespace mibbet {

Server::Server(ServerOptions options)
    : options_(std::move(options)), data_(options_.dataPath) {}

bool Server::start(std::FILE* out) {
    if (net::startup() != 0) {
        std::fprintf(out, "A useable WinSock DLL not fount");
        return false;
    }
    std::string self = net::localHostName();
    if (self.empty() || !net::lookupHost(self)) {
        std::fprintf(out, "gethostbyname failed");
        return false;
    }
    listener_ = net::createTcpSocket();
    if (!listener_) {
        std::fprintf(out, "socket failed");
        return false;
    }
    net::setNoDelay(listener_);
    // Lets a restarted server take its port back while connections it closed
    // linger in TIME_WAIT; a port held by another listener still fails.
    net::setReuseAddress(listener_);
    if (!net::bindTo(listener_, options_.port) || !net::listenOn(listener_, kBacklog)) {
        std::fprintf(out, "bind failed");
        listener_.close();
        return false;
    }
    net::WaitLimits limits;
    limits.firstBytes = options_.receiveTimeout;
    limits.requestSize = kRequestSize;
    limits.report = net::reportToStandardError;
    room_.emplace(listener_, std::move(limits));
    return true;
}

bool Server::serveOne() {
    if (!room_)
        return false;  // not started
    std::optional<net::Arrival> arrival = room_->next();
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

void Server::serve(const net::Arrival& arrival) {
    if (arrival.received < 0) return;
    std::optional<std::string_view> query = queryText(arrival.request);
    if (!query) return;
    std::optional<std::string_view> key = keyOf(*query);
    if (!key) return;
    std::optional<std::string> value = data_.lookup(*key);
    std::string answer = value ? std::move(*value) : notFoundAnswer(*key, counter_);
    // The answer is the text and its zero byte, never a frame; it waits at
    // most the send time-out for the client in all.
    net::sendAllWithin(arrival.socket, answer.c_str(), answer.size() + 1, options_.sendTimeout);
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
