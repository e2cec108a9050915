// SPDX-License-Identifier: Apache-2.0
// From one received request to the key it asks for, and the answer text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace mibbet {

// The query text of a request: plain text up to its first zero byte, or the
// body of a PROD frame up to its first zero byte. Nothing for every other
// frame (TERM, EVNT, unknown codes, length below 8, an empty read).
std::optional<std::string_view> queryText(protocol::ConstBytes request);

// The key of a query text: trailing white space removed, then the text after
// the first TAB when it holds one. Nothing when only white space is left.
std::optional<std::string_view> keyOf(std::string_view query);

// The not-found answer: key, CR, LF, two blanks, the connection counter.
std::string notFoundAnswer(std::string_view key, long long counter);

}  // namespace mibbet
