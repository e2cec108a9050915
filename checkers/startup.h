// SPDX-License-Identifier: Apache-2.0
// Start-up shared by probe and Drosk: socket layer, first socket, address
// lookup (once), message buffer. They differ only in one message text.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "checkers/status_exchange.h"
#include "platform/socket.h"

namespace checkers {

struct CheckerTarget {
    std::string addressText;  // as given on the command line (cut), for messages
    platform::Ipv4 address = 0;
    platform::Socket socket;       // the first socket, not yet connected
    MessageBuffer buffer;
};

// probe writes "...supported: %d\n", Drosk "...supported : %d\n".
inline constexpr const char* kProbeStartupFailure = "Requested socket version not supported: %d\n";
inline constexpr const char* kDroskStartupFailure = "Requested socket version not supported : %d\n";

// Nothing after printing the reason when any step fails; the program then
// ends with status 1.
std::optional<CheckerTarget> startChecker(const std::string& addressText, std::FILE* out,
                                          const char* startupFailureFormat);

}  // namespace checkers
