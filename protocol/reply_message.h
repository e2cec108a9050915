// SPDX-License-Identifier: Apache-2.0
// The line a console client prints when a unit's reply could not be read,
// so Tarnix, probe and Drosk word the same failure the same way.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "protocol/frame.h"
#include "protocol/transport.h"

namespace protocol {

struct ReplyReader {
    std::string_view program;         // names the reader in the length message
    std::string_view peer;            // the unit's address as the user gave it
    std::chrono::milliseconds limit;  // the wait for one reply
    std::size_t largest;              // the largest frame the reader takes
};

// One line with its line feed; empty for ReplyFailure::None. For BadLength
// the length field is read from the start of `buffer`; for Failed the
// socket layer's last error is named.
std::string replyFailureMessage(ReplyFailure why, const ReplyReader& reader, ConstBytes buffer);

}  // namespace protocol
