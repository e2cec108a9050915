// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/json_answer.h"

namespace unitfleetd {

HttpResponse jsonAnswer(int status, const nlohmann::json& body) {
    HttpResponse r;
    r.status = status;
    r.contentType = "application/json";
    // Invalid UTF-8 from a unit is replaced, never passed on or thrown.
    r.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return r;
}

HttpResponse errorAnswer(int status, const std::string& message) {
    return jsonAnswer(status, {{"error", message}});
}

std::optional<nlohmann::json> jsonBody(const HttpRequest& request, std::string& error) {
    // Demanding the JSON type keeps out plain cross-site form posts, which
    // cannot set it.
    auto type = request.header("content-type");
    if (type.rfind("application/json", 0) != 0) {
        error = "the body must be sent as application/json";
        return std::nullopt;
    }
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        error = "the body must be one JSON object";
        return std::nullopt;
    }
    return body;
}

}  // namespace unitfleetd
