// SPDX-License-Identifier: Apache-2.0
// A stand-in unit whose answers a test scripts byte for byte, for replies the
// simulated unit never gives (a broken length, half a frame, a table that
// changes between queries, silence). It listens on ADDRESS:1283, serves one
// connection at a time, records every frame it receives and answers each with
// whatever the test's responder returns.
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

#include "platform/socket.h"
#include "protocol/frame.h"

namespace support {

using Bytes = std::vector<std::uint8_t>;

// Frame builders (over protocol/payload.h) and readers for scripts.
Bytes z(std::string_view text);                                // the text and its zero byte
Bytes frame(protocol::FrameType type, std::string_view body);  // body as given
Bytes modeReply(std::string_view text);                        // MODR, text + zero
Bytes errorReport(std::string_view text);                      // ERR_, text + zero
Bytes query(std::string_view text);                            // MDSQ, text + zero
Bytes dataText(protocol::DataSubtype subtype, std::string_view text, std::size_t zeroPadding);
Bytes keepAlive();
Bytes withCode(Bytes frame, std::string_view code);  // another 4-byte type code
Bytes cut(Bytes bytes, std::size_t n);               // only the first n bytes
Bytes operator+(Bytes a, const Bytes& b);

std::string queryText(const Bytes& frame);  // MDSQ body up to its zero byte
std::string codeAt(const Bytes& frame, std::size_t offset);
std::uint32_t be32At(const Bytes& frame, std::size_t offset);

// What the unit does with one received frame: send `bytes` (if any), then
// close the connection when `close` is set. A hostile unit paces its bytes:
// with `byteGap` it sends them one at a time that far apart, and after them
// it sends `repeat` again and again, `repeatGap` apart, until the client
// hangs up (or a minute has passed, or the unit stops).
struct Answer {
    Answer(Bytes b = {}, bool closeAfter = false) : bytes(std::move(b)), close(closeAfter) {}
    Bytes bytes;
    bool close;
    std::chrono::milliseconds byteGap{0};
    Bytes repeat;
    std::chrono::milliseconds repeatGap{0};
};

// Hostile answers: `bytes` one byte every `gap`; keep-alives every `gap` for
// ever; a frame header announcing `length` bytes, then silence.
Answer trickle(Bytes bytes, std::chrono::milliseconds gap);
Answer keepAlivesForever(std::chrono::milliseconds gap);
Answer lengthThenSilence(std::uint32_t length);

class ScriptedUnit {
  public:
    using Responder = std::function<Answer(const Bytes& frame)>;

    // Answers the k-th frame received with answers[k], later ones with `after`.
    static Responder inTurn(std::vector<Answer> answers, Answer after = {});

    explicit ScriptedUnit(std::string address, Responder responder = {});
    ~ScriptedUnit();
    ScriptedUnit(const ScriptedUnit&) = delete;
    ScriptedUnit& operator=(const ScriptedUnit&) = delete;

    bool listening() const { return listener_.valid(); }
    // Closing the listener refuses connections until start() listens again.
    bool start();
    void stop();

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
    void serve(const platform::Socket& connection);
    bool readExactly(const platform::Socket& connection, std::uint8_t* data, std::size_t size);
    bool send(const platform::Socket& connection, const Answer& answer);
    bool pause(std::chrono::milliseconds gap);
    void count(int& counter);

    std::string address_;
    platform::Socket listener_;
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

}  // namespace support
