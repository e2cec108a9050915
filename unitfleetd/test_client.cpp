// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/test_client.h"

#include "platform/parse.h"

namespace unitfleetd::testing {

std::optional<HttpAnswer> parseAnswer(const std::string& raw) {
    auto end = raw.find("\r\n\r\n");
    if (end == std::string::npos || raw.rfind("HTTP/1.1 ", 0) != 0)
        return std::nullopt;
    HttpAnswer a;
    a.status = std::atoi(raw.c_str() + 9);
    std::size_t line = raw.find("\r\n") + 2;
    while (line < end) {
        auto next = raw.find("\r\n", line);
        auto text = raw.substr(line, next - line);
        auto colon = text.find(':');
        if (colon != std::string::npos) {
            std::string name = text.substr(0, colon);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            std::string value = text.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            if (name == "set-cookie")
                a.cookies.push_back(value);
            a.headers[name] = value;
        }
        line = next + 2;
    }
    a.body = raw.substr(end + 4);
    if (auto it = a.headers.find("content-length"); it != a.headers.end()) {
        auto length = static_cast<std::size_t>(std::stoull(it->second));
        if (a.body.size() < length)
            return std::nullopt;
        a.body.resize(length);
    }
    return a;
}

bool Connection::open(const std::string& address, std::uint16_t port, std::string& error) {
    auto ip = platform::parseIpv4(address);
    socket_ = platform::createTcpSocket();
    if (!ip || !socket_ ||
        !platform::connectWithTimeout(socket_, *ip, port, std::chrono::seconds(5),
                                 platform::OnRefusal::FailAtOnce)) {
        error = "cannot connect to " + address + ":" + std::to_string(port);
        return false;
    }
    return true;
}

bool Connection::send(const std::string& bytes) {
    return platform::sendAll(socket_, bytes.data(), bytes.size());
}

const std::string& Connection::readUntil(const std::string& text,
                                         std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[16384];
    while (!closed_ && (text.empty() || received_.find(text) == std::string::npos)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        platform::setReceiveTimeout(socket_, left);
        long n = platform::receiveSome(socket_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && !platform::lastErrorIsTimeout()))
            closed_ = true;
        if (n <= 0)
            continue;
        received_.append(buffer, static_cast<std::size_t>(n));
    }
    return received_;
}

const std::string& Connection::readToClose(std::chrono::milliseconds timeout) {
    return readUntil({}, timeout);
}

std::optional<HttpAnswer> request(const std::string& address, std::uint16_t port,
                                  const std::string& method, const std::string& target,
                                  const std::vector<std::string>& headers, const std::string& body,
                                  std::chrono::milliseconds timeout) {
    Connection c;
    std::string error;
    if (!c.open(address, port, error))
        return std::nullopt;
    std::string text =
        method + " " + target + " HTTP/1.1\r\nHost: " + address + "\r\nConnection: close\r\n";
    for (const auto& h : headers) text += h + "\r\n";
    if (!body.empty() || method == "POST" || method == "PATCH")
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += "\r\n" + body;
    if (!c.send(text))
        return std::nullopt;
    return parseAnswer(c.readToClose(timeout));
}

}  // namespace unitfleetd::testing
