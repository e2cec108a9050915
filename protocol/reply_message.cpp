// SPDX-License-Identifier: Apache-2.0
#include "protocol/reply_message.h"

#include <cstdio>

#include "platform/socket.h"

namespace protocol {

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    int size = std::snprintf(nullptr, 0, pattern, args...);
    if (size <= 0)
        return {};
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), pattern, args...);
    text.pop_back();
    return text;
}

}  // namespace

std::string replyFailureMessage(ReplyFailure why, const ReplyReader& reader, ConstBytes buffer) {
    std::string peer(reader.peer);
    switch (why) {
        case ReplyFailure::None:
            return {};
        case ReplyFailure::TimedOut:
            return format("No reply from %s within %g seconds\n", peer.c_str(),
                          static_cast<double>(reader.limit.count()) / 1000.0);
        case ReplyFailure::Closed:
            return format("Connection closed by %s before a whole reply arrived\n", peer.c_str());
        case ReplyFailure::BadLength: {
            std::string program(reader.program);
            unsigned length = buffer.size() >= 4 ? readBE32(buffer.data()) : 0;
            return format("Reply from %s has a length of %u bytes; %s takes 8 to %zu\n",
                          peer.c_str(), length, program.c_str(), reader.largest);
        }
        case ReplyFailure::Failed:
            break;
    }
    return format("Error receiving from %s (error %d)\n", peer.c_str(), platform::lastError());
}

}  // namespace protocol
