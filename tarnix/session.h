// SPDX-License-Identifier: Apache-2.0
// One connection to a unit's configuration port, with Tarnix's own frame
// buffer and reply time-out. Every failure is reported on the console here;
// the caller only learns the exit status to end the run with.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket.h"
#include "tarnix/console.h"

namespace tarnix {

inline constexpr std::size_t kFrameBufferSize = 131072;
// A unit that drops connection attempts must not hold the tool for minutes.
inline constexpr std::chrono::milliseconds kConnectTimeout{5000};

// Exit status -1 (255 to the shell) for failures of the socket layer and of
// sending, 1 for the rest.
inline constexpr int kExitSocketFailure = -1;
inline constexpr int kExitFailure = 1;

// Nothing while all is well; otherwise the exit status the run ends with.
using Stop = std::optional<int>;

class Session {
  public:
    Session(Console console, int verbose, std::chrono::milliseconds replyTimeout);

    // Starts the socket layer, resolves `target` and connects to its port 1283.
    Stop connect(const std::string& target);

    // Sends `text` as a query and reads the next frame that is not a
    // keep-alive, within the reply time-out as a whole.
    Stop query(std::string_view text);
    // Sends `text` as a query and reads nothing back.
    Stop send(std::string_view text);
    // Sends the text and its zero byte with no frame around them.
    Stop sendLiteral(std::string_view text);

    // Body text of the last reply (to its first zero byte or the frame end).
    std::string_view replyBody() const { return body_; }

  private:
    Stop receive();

    Console console_;
    int verbose_;
    std::chrono::milliseconds replyTimeout_;
    std::string target_;
    platform::Socket socket_;
    std::vector<std::uint8_t> buffer_;
    std::string_view body_;
};

}  // namespace tarnix
