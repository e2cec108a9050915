// SPDX-License-Identifier: Apache-2.0
#include "checkers/startup.h"

namespace checkers {

std::optional<CheckerTarget> startChecker(const std::string& addressText, std::FILE* out,
                                          const char* startupFailureFormat) {
    if (int code = platform::startup(); code != 0) {
        std::fprintf(out, startupFailureFormat, code);
        return std::nullopt;
    }
    CheckerTarget target;
    target.addressText = addressText;
    target.socket = platform::createTcpSocket();
    if (!target.socket) {
        std::fprintf(out, "Error creating socket\n");
        return std::nullopt;
    }
    std::optional<platform::Ipv4> address = platform::lookupHost(addressText);
    if (!address) {
        std::fprintf(out, "DNS lookup failed for host: %s\n", addressText.c_str());
        return std::nullopt;  // the socket closes with `target`
    }
    target.address = *address;
    target.buffer = MessageBuffer::allocate();
    if (!target.buffer.valid()) {
        std::fprintf(out, "Error allocating %d bytes.\n", static_cast<int>(kMessageBufferSize));
        return std::nullopt;
    }
    return target;
}

}  // namespace checkers
