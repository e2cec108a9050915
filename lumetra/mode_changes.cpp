// SPDX-License-Identifier: Apache-2.0
// uxSetMode, SendTarnix, uxCommit and uxRestart: set lines and the two
// whole-unit commands, sent on the open connection.
#include <cstdio>
#include <optional>
#include <string_view>

#include "lumetra/lumetra.h"
#include "lumetra/session.h"
#include "protocol/payload.h"

namespace lumetra {

namespace {

// The unit reads set lines into a 256-byte line.
constexpr std::size_t kLineBuffer = 256;

using Line = char[kLineBuffer];

// "name = value" in `line`; nothing when an argument is missing or the line
// would not fit, since a cut line would set the mode to a wrong value.
std::optional<std::string_view> setLine(Line& line, const char* name, const char* value) {
    if (name == nullptr || value == nullptr)
        return std::nullopt;
    int n = std::snprintf(line, sizeof line, "%s = %s", name, value);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof line)
        return std::nullopt;
    return std::string_view(line, static_cast<std::size_t>(n));
}

int32_t setMode(const char* name, const char* value) {
    Session& s = session();
    Line buffer;
    std::optional<std::string_view> line = setLine(buffer, name, value);
    if (!line || !s.isOpen())
        return 0;
    if (!s.sendQuery(*line))
        return 0;
    return s.receiveReply() == protocol::ReplyStatus::Reply ? 1 : 0;
}

}  // namespace

}  // namespace lumetra

using lumetra::guarded;

extern "C" {

LUMETRA_API int32_t LUMETRA_CALL uxSetMode(const char* modeName, const char* value) {
    return guarded<int32_t>(0, [&] { return lumetra::setMode(modeName, value); });
}

LUMETRA_API int32_t LUMETRA_CALL SendTarnix(const char* modeName, const char* value) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        lumetra::Session& s = lumetra::session();
        lumetra::Line buffer;
        std::optional<std::string_view> line = lumetra::setLine(buffer, modeName, value);
        if (!line || !s.isOpen())
            return 0;
        std::size_t length = protocol::buildQuery(s.buffer(), *line);
        return s.sendFrame(length) ? 1 : 0;
    });
}

LUMETRA_API int32_t LUMETRA_CALL uxCommit(void) {
    return guarded<int32_t>(0, [] { return lumetra::setMode("Commit", "TRUE"); });
}

LUMETRA_API int32_t LUMETRA_CALL uxRestart(void) {
    return guarded<int32_t>(0, [] { return lumetra::session().sendQuery("RESTART=TRUE") ? 1 : 0; });
}

}  // extern "C"
