// SPDX-License-Identifier: Apache-2.0
// A plain HTTP/1.1 client over raw sockets for the daemon's tests: it sends
// exactly the bytes a test gives, so hostile requests can be sent too.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket.h"

namespace unitfleetd::testing {

struct HttpAnswer {
    int status = 0;
    std::map<std::string, std::string> headers;  // lower-case names
    std::vector<std::string> cookies;            // each Set-Cookie
    std::string body;
};

// Parses an answer read up to the connection's close; nothing when the
// status line or header is incomplete.
std::optional<HttpAnswer> parseAnswer(const std::string& raw);

class Connection {
  public:
    bool open(const std::string& address, std::uint16_t port, std::string& error);
    bool send(const std::string& bytes);
    // Reads until `text` has come, the peer closes or `timeout` passes;
    // everything read so far.
    const std::string& readUntil(const std::string& text, std::chrono::milliseconds timeout);
    const std::string& readToClose(std::chrono::milliseconds timeout);
    bool closedByPeer() const { return closed_; }
    void close() { socket_.close(); }

  private:
    platform::Socket socket_;
    std::string received_;
    bool closed_ = false;
};

// One request ("Connection: close" added); the answer read to the close.
std::optional<HttpAnswer> request(const std::string& address, std::uint16_t port,
                                  const std::string& method, const std::string& target,
                                  const std::vector<std::string>& headers = {},
                                  const std::string& body = {},
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace unitfleetd::testing
