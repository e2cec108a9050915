// SPDX-License-Identifier: Apache-2.0
// JSON answers of the API: every error has the same shape, {"error": TEXT}.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "unitfleetd/http_types.h"

namespace unitfleetd {

HttpResponse jsonAnswer(int status, const nlohmann::json& body);
HttpResponse errorAnswer(int status, const std::string& message);
// The request's body as a JSON object; nothing (and `error` set) when it is
// not JSON, not an object, or not sent as application/json.
std::optional<nlohmann::json> jsonBody(const HttpRequest& request, std::string& error);

}  // namespace unitfleetd
