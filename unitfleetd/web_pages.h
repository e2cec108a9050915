// SPDX-License-Identifier: Apache-2.0
// The console served beside the API: pages at plain paths ("/", "/unit",
// "/jobs", ...) and their styles and scripts under /static/. The sign-in
// page and what it loads are public; every other page sends a visitor
// without a session to the sign-in page, and every other file answers 401.
#pragma once

#include <optional>
#include <string>

#include "unitfleetd/http_types.h"

namespace unitfleetd {

// The file a GET of `path` names, or nothing when the path is not the
// console's (the API's routes then decide).
std::optional<std::string> webFileFor(const std::string& path);

// The answer for a console path (from webFileFor); `signedIn`: the request
// carries a live browser session.
HttpResponse webAnswer(const std::string& file, bool signedIn);

}  // namespace unitfleetd
