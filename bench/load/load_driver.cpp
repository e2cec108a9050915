// SPDX-License-Identifier: Apache-2.0
#include "bench/load/load_driver.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/socket.h"
#include "platform/waiting_room.h"

namespace load {

namespace {

using Clock = std::chrono::steady_clock;

// One request on a fresh connection; the whole answer up to the server's close.
bool oneRequest(platform::Ipv4 address, const LoadOptions& options, Bytes& answer) {
    answer.clear();
    platform::Socket socket = platform::createTcpSocket();
    if (!socket || !platform::connectBlocking(socket, address, options.port)) return false;
    platform::setReceiveTimeout(socket, options.timeout);
    if (!options.request.empty() &&
        !platform::sendAll(socket, options.request.data(), options.request.size())) {
        return false;
    }
    std::uint8_t buffer[16384];
    for (;;) {
        long n = platform::receiveSome(socket, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) return false;
        answer.insert(answer.end(), buffer, buffer + n);
    }
}

}  // namespace

bool isLoopback(const std::string& host) {
    std::optional<platform::Ipv4> address = platform::lookupHost(host);
    return address && (*address >> 24) == 127;
}

double LoadResult::medianLatency() const {
    if (latencies.empty())
        return 0;
    std::vector<double> sorted = latencies;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    return sorted[sorted.size() / 2];
}

namespace {

void runRequests(platform::Ipv4 address, const LoadOptions& options, std::size_t count,
                 LoadResult& result) {
    Bytes answer;
    result.latencies.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto start = Clock::now();
        bool ok = oneRequest(address, options, answer);
        if (ok && options.expectedAnswer)
            ok = answer == *options.expectedAnswer;
        result.latencies.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        ++(ok ? result.completed : result.failed);
    }
}

}  // namespace

LoadResult runLoad(const LoadOptions& options) {
    LoadResult result;
    std::optional<platform::Ipv4> address = platform::lookupHost(options.host);
    if (!address || (*address >> 24) != 127) {
        result.error = "not a loopback address: " + options.host;
        return result;
    }
    std::size_t clients = std::max<std::size_t>(1, std::min(options.clients, options.requests));
    std::vector<LoadResult> parts(clients);
    auto start = Clock::now();
    if (clients == 1) {
        runRequests(*address, options, options.requests, parts[0]);
    } else {
        std::vector<std::thread> threads;
        for (std::size_t c = 0; c < clients; ++c) {
            std::size_t count = options.requests / clients + (c < options.requests % clients);
            threads.emplace_back(
                [&, c, count] { runRequests(*address, options, count, parts[c]); });
        }
        for (std::thread& t : threads) t.join();
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const LoadResult& part : parts) {
        result.completed += part.completed;
        result.failed += part.failed;
        result.latencies.insert(result.latencies.end(), part.latencies.begin(),
                                part.latencies.end());
    }
    return result;
}

struct BareServer::State {
    std::string address;
    std::uint16_t port;
    Bytes answer;
    platform::Ipv4 bound = 0;
    platform::Socket listener;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<std::size_t> served{0};

    void loop() {
        std::uint8_t request[8192];
        while (!stopping) {
            platform::Socket connection = platform::acceptFrom(listener);
            if (!connection) continue;
            if (platform::receiveSome(connection, request, sizeof request) >= 0 && !stopping) {
                platform::sendAll(connection, answer.data(), answer.size());
            }
            ++served;
        }
    }
};

BareServer::BareServer(std::string address, std::uint16_t port, Bytes answer)
    : state_(new State) {
    state_->address = std::move(address);
    state_->port = port;
    state_->answer = std::move(answer);
}

BareServer::~BareServer() { stop(); }

bool BareServer::start(std::string& error) {
    auto fail = [&](const char* why) {
        error = why;
        state_->listener.close();
        return false;
    };
    std::optional<platform::Ipv4> address = platform::lookupHost(state_->address);
    if (!address || (*address >> 24) != 127) return fail("not a loopback address");
    state_->bound = *address;
    state_->listener = platform::createTcpSocket();
    if (!state_->listener) return fail("socket failed");
    platform::setNoDelay(state_->listener);
    platform::setReuseAddress(state_->listener);
    if (!platform::bindTo(state_->listener, state_->port, *address)) return fail("bind failed");
    // The servers' own backlog, so a burst of clients finds the same room.
    if (!platform::listenOn(state_->listener, platform::kServerBacklog))
        return fail("listen failed");
    state_->stopping = false;
    state_->thread = std::thread([this] { state_->loop(); });
    return true;
}

void BareServer::stop() {
    if (!state_->thread.joinable()) return;
    state_->stopping = true;
    // Wake the blocking accept with one last connection of our own.
    platform::Socket wake = platform::createTcpSocket();
    platform::connectBlocking(wake, state_->bound, state_->port);
    wake.close();
    state_->thread.join();
    state_->listener.close();
}

std::size_t BareServer::served() const { return state_->served; }

BareServerProcess::BareServerProcess(const std::string& address, std::uint16_t port,
                                     const Bytes& answer) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    int ready[2];
    if (::pipe(ready) != 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[1]);
        ::close(ready[0]);
        BareServer bare(address, port, answer);
        std::string error;
        char ok = bare.start(error) ? 1 : 0;
        (void)!::write(ready[1], &ok, 1);
        ::close(ready[1]);
        char byte;
        while (::read(fds[0], &byte, 1) > 0) {
        }  // the parent's end closes when it is done, or dies
        bare.stop();
        _exit(0);
    }
    ::close(fds[0]);
    ::close(ready[1]);
    parentEnd_ = fds[1];
    char ok = 0;
    started_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
}

BareServerProcess::~BareServerProcess() {
    if (parentEnd_ >= 0) ::close(parentEnd_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
}

}  // namespace load
