// SPDX-License-Identifier: Apache-2.0
// The HTTP front: one thread runs every connection and every handler, as a
// single-owner event loop (Boost.Asio), so nothing above it needs a lock.
// Slow work (password hashing) goes to a small pool through offload().
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "unitfleetd/http_types.h"

namespace unitfleetd {

struct ServerSettings {
    std::string address = "127.0.0.1";
    std::uint16_t port = 8443;
    std::string tlsCertificate, tlsKey;               // both empty: plain HTTP
    std::chrono::milliseconds idleTimeout{60000};     // for a request's first byte
    std::chrono::milliseconds requestTimeout{10000};  // a whole request (and a TLS handshake)
    std::chrono::milliseconds writeTimeout{10000};    // a whole answer, or one event
    int maxConnections = 512;
    std::size_t maxHeaderBytes = 8192;
    std::size_t maxBodyBytes = 1 << 20;
    // Told the status of every answer, the server's own refusals included.
    std::function<void(int status)> answered;
};

class HttpServer {
  public:
    explicit HttpServer(HttpHandler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Loads the certificate and binds; the connections are served by run().
    bool listen(const ServerSettings& settings, std::string& error);
    std::uint16_t port() const;
    // Serves until stop(); returns on the thread that called it.
    void run();
    // Thread-safe.
    void stop();
    // Runs `fn` on the server's thread. Thread-safe.
    void post(std::function<void()> fn);
    // Runs `work` on a worker thread, then `then` on the server's thread.
    void offload(std::function<void()> work, std::function<void()> then);
    // Calls `fn` on the server's thread each time `signal` arrives.
    void onSignal(int signal, std::function<void()> fn);
    // Calls `fn` on the server's thread every `period`, first after one period.
    void every(std::chrono::milliseconds period, std::function<void()> fn);
    int connections() const;

    struct Impl;  // http_server.cpp's own

  private:
    std::unique_ptr<Impl> impl_;
};

// The headers every answer carries, whoever made it.
std::vector<std::pair<std::string, std::string>> securityHeaders(bool tls);

}  // namespace unitfleetd
