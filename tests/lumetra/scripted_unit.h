// A stand-in unit for the library's tests: listens on ADDRESS:1283, records
// every frame it receives byte for byte, and answers each with whatever the
// test's script returns (nothing, keep-alives, ERR_, a broken length...).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/socket.h"

namespace lumetra_test {

using Bytes = std::vector<std::uint8_t>;

// Frame builders for scripts.
Bytes modeResponse(std::string_view text);
Bytes errorReport(std::string_view text);
Bytes keepAlive();
Bytes operator+(Bytes a, const Bytes& b);

// The text of a received MDSQ query (body up to its zero byte).
std::string queryText(const Bytes& frame);
std::string codeAt(const Bytes& frame, std::size_t offset);
std::uint32_t be32At(const Bytes& frame, std::size_t offset);

struct UnitScript {
    std::string definitions;  // reply to the empty query
    std::string values;       // reply to "*"
};

// Answers like a unit: MODR for every query (definitions, values, "name=x"
// for a one-mode query and "OK" for set lines); nothing for other frames.
Bytes answerAsUnit(const UnitScript& script, const Bytes& frame);

class ScriptedUnit {
  public:
    using Responder = std::function<Bytes(const Bytes& frame)>;

    explicit ScriptedUnit(std::string address, UnitScript script = {});
    ~ScriptedUnit();
    ScriptedUnit(const ScriptedUnit&) = delete;
    ScriptedUnit& operator=(const ScriptedUnit&) = delete;

    bool listening() const { return listener_.valid(); }
    const std::string& address() const { return address_; }

    void respond(Responder responder);
    // Accept but never read or answer.
    void goSilent();

    std::vector<Bytes> frames() const;
    std::size_t frameCount() const;
    void clearFrames();
    bool waitForFrames(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    int connections() const;
    // Connections the client has closed (end of stream or reset).
    int closedByClient() const;
    bool waitForClosedByClient(int count,
                               std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

  private:
    void run();
    void serve(net::Socket connection);
    bool readExactly(const net::Socket& connection, std::uint8_t* data, std::size_t size);
    void record(Bytes frame);

    std::string address_;
    net::Socket listener_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> silent_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Responder responder_;
    std::vector<Bytes> frames_;
    int connections_ = 0;
    int closedByClient_ = 0;
    std::thread thread_;
};

}  // namespace lumetra_test
