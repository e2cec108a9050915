// SPDX-License-Identifier: Apache-2.0
// What the HTTP front hands to the API and what it gets back: plain values,
// so that nothing above http_server.cpp sees the HTTP library.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace unitfleetd {

class EventStream;

struct HttpRequest {
    std::string method;                          // "GET", "POST", ...
    std::string target;                          // as sent: path and query
    std::string path;                            // percent-decoded
    std::map<std::string, std::string> query;    // decoded names and values
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string peer;  // the client's address
    bool tls = false;

    std::string header(const std::string& lowerName) const {
        auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
    bool changesState() const { return method != "GET" && method != "HEAD"; }
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // When set, the answer is a server-sent-events stream that goes on
    // until the client leaves or the stream ends.
    std::shared_ptr<EventStream> events;
};

// Handlers answer through `Reply`, now or later (after work on another
// thread); it may be called from any thread, once.
using Reply = std::function<void(HttpResponse)>;
using HttpHandler = std::function<void(HttpRequest, Reply)>;

// Splits a target into its decoded path and query; false when its
// percent-escapes are malformed.
bool splitTarget(const std::string& target, std::string& path,
                 std::map<std::string, std::string>& query);

}  // namespace unitfleetd
