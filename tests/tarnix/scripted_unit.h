// A unit whose replies are scripted byte for byte, for the replies the
// simulated unit never gives (a mode table that changes between queries, a
// reply exactly as large as Tarnix's buffer). It serves one connection: each
// frame it reads is answered with the next scripted reply; after the last it
// closes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/socket.h"

namespace tarnix_test {

using Bytes = std::vector<std::uint8_t>;

// A whole frame: big-endian length, the 4-character code, then `body`.
Bytes frameOf(std::string_view code, std::string_view body);
// A MODR reply carrying `text` and its zero byte.
Bytes modeReply(std::string_view text);

class ScriptedUnit {
  public:
    ScriptedUnit(const std::string& address, std::vector<Bytes> replies);
    ~ScriptedUnit();  // waits for the serving thread, which gives up after 5 s
    ScriptedUnit(const ScriptedUnit&) = delete;
    ScriptedUnit& operator=(const ScriptedUnit&) = delete;

    bool listening() const { return listener_.valid(); }
    // Frames received, once the connection has ended.
    std::vector<Bytes> received();

  private:
    void serve();

    net::Socket listener_;
    std::vector<Bytes> replies_;
    std::vector<Bytes> received_;
    std::thread thread_;
};

}  // namespace tarnix_test
