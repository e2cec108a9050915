// A unit whose answers are scripted byte for byte, for tests of the
// checkers: it reads each connection's query, records it and answers with the
// next scripted reply (or holds the connection silent, or closes at once).
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace checkers_test {

using Bytes = std::vector<std::uint8_t>;

struct Answer {
    Bytes bytes;          // sent after the query has been read
    bool silent = false;  // send nothing; keep the connection until the client closes
};

// A whole frame: big-endian length, the 4-character code, the body as given.
Bytes frame(std::string_view code, std::string_view body);
// A MODR reply whose body is `text` and its zero byte.
Bytes modeReply(std::string_view text);
// Only the first `n` bytes of `bytes`.
Bytes cut(Bytes bytes, std::size_t n);

class ScriptedUnit {
public:
    // Listens on address:1283 (an address of 127.0.3.0/24 in these tests).
    explicit ScriptedUnit(std::string address, std::uint16_t port = 1283);
    ~ScriptedUnit();
    ScriptedUnit(const ScriptedUnit&) = delete;
    ScriptedUnit& operator=(const ScriptedUnit&) = delete;

    bool start();
    void stop();  // closes the listener: connections are refused from then on

    // Answers for the next connections, in order; after them every
    // connection gets `fallback`.
    void script(std::vector<Answer> answers, Answer fallback = {});

    int connections() const;
    // The bytes each connection sent before its answer (up to 19 bytes).
    std::vector<Bytes> queries() const;
    bool waitForConnections(int count, std::chrono::milliseconds timeout) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace checkers_test

namespace checkers_test {

// A FILE* that in-process runs write to, read back as a string.
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::FILE* file() const { return file_; }
    std::string text() const;

private:
    std::FILE* file_;
};

}  // namespace checkers_test
