// SPDX-License-Identifier: Apache-2.0
// A loopback load driver for host servers: N requests, one connection per
// request as units make them, measured in requests per second; and the bare
// accept/receive/send/close loop that is the floor of what one thread can do,
// to compare a server against in the same run.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace load {

using Bytes = std::vector<std::uint8_t>;

struct LoadOptions {
    std::string host = "127.0.0.1";  // loopback only: the driver refuses others
    std::uint16_t port = 1283;
    Bytes request;                    // sent on every connection (empty: nothing is sent)
    std::size_t requests = 10000;     // bounded: the run always ends
    std::chrono::milliseconds timeout{5000};  // per request
    std::optional<Bytes> expectedAnswer;      // other answers count as failures
    std::size_t clients = 1;                  // connections in flight at once
};

struct LoadResult {
    std::size_t completed = 0;  // answered as expected (or at all, without an expectation)
    std::size_t failed = 0;
    double seconds = 0;
    std::string error;          // why the run could not start
    std::vector<double> latencies;  // seconds from connect to close, per request
    double perSecond() const { return seconds > 0 ? static_cast<double>(completed) / seconds : 0; }
    double medianLatency() const;
};

// Connect, send the request, read until the server closes; N times, spread
// over `clients` threads that each make one request after the other.
LoadResult runLoad(const LoadOptions& options);

// True for addresses in 127.0.0.0/8.
bool isLoopback(const std::string& host);

// One thread: accept, one receive, send the fixed answer, close. Nothing else.
class BareServer {
public:
    BareServer(std::string address, std::uint16_t port, Bytes answer);
    ~BareServer();
    BareServer(const BareServer&) = delete;
    BareServer& operator=(const BareServer&) = delete;

    bool start(std::string& error);
    void stop();
    std::size_t served() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The bare loop in a child process of its own, so that it pays what a server
// program pays for switching between client and server. It ends when this
// object goes (or the parent dies).
class BareServerProcess {
public:
    BareServerProcess(const std::string& address, std::uint16_t port, const Bytes& answer);
    ~BareServerProcess();
    BareServerProcess(const BareServerProcess&) = delete;
    BareServerProcess& operator=(const BareServerProcess&) = delete;

    bool started() const { return started_; }
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int parentEnd_ = -1;
    bool started_ = false;
};

}  // namespace load
