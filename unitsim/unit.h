// SPDX-License-Identifier: Apache-2.0
// The simulated unit: answers a configuration client on ADDRESS:1283 as a
// real unit does (host.h has its side towards a host server). Tests run it
// in-process (a background thread serves the config port); the `unitsim`
// program wraps the same class for people and for end-to-end tests, many
// units sharing the threads of a few event loops.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "unitsim/identity.h"
#include "unitsim/modefile.h"

namespace platform {
class LoopThread;
}

namespace unitsim {

// Ways to misbehave, for tests of the clients' failure handling.
struct Faults {
    int keepAlivesBeforeReply = 0;            // DATA/NOP_ frames sent ahead of every reply
    std::vector<std::string> refusedModes;    // sets of these modes answer ERR_
    std::string driftingMode;                 // its value changes every time it is read
    std::chrono::milliseconds replyDelay{0};  // wait before every reply
    bool dropMidFrame = false;                // send half of the next reply, then close
    bool oversizedLength = false;             // next reply's length field is 0x7FFFFFF0
    bool silent = false;                      // read queries, never answer
};

struct Options {
    std::string address = "127.0.0.2";
    std::uint16_t port = 1283;
    std::vector<ModeDef> modes = defaultModes();
    // When set, the table instead of `modes`: many units share it until one
    // of them changes a value.
    std::shared_ptr<const std::vector<ModeDef>> sharedModes;
    // Among many units: what this one's UnitID, SerialNumber and MACAddress
    // are made from; none: the table's values.
    UnitIdentity identity;
    Faults faults;
    std::string journalPath;  // empty: journal kept in memory only
    // Off: nothing is kept for received(), streams() or journal() (the
    // program, whose units nobody asks); the journal file is still written.
    bool keepRecords = true;
};

// One message the unit received on its config port.
struct Received {
    bool framed = false;              // false: unframed text (e.g. Tarnix -l)
    std::vector<std::uint8_t> bytes;  // exactly as received (text: with its zero byte)
};

// What a unit keeps in memory for the calls below is bounded: the newest
// 65,536 journal lines and received messages (the oldest quarter goes when
// full), the streams of the first 65,536 connections, each up to 16 MiB.
class Unit {
  public:
    // Serves on a thread of its own.
    explicit Unit(Options options);
    // Serves on `loop`, which many units may share; it must outlive the unit.
    Unit(Options options, platform::LoopThread& loop);
    ~Unit();  // stops
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // Binds ADDRESS:PORT and starts serving in a background thread; false
    // with the reason in `error` when it cannot.
    bool start(std::string& error);
    void stop();

    void setFaults(const Faults& faults);

    // Everything received on the config port since start, in order.
    std::vector<Received> received() const;
    // One line per message received or sent (see `unitsim --help`).
    std::vector<std::string> journal() const;
    // Blocks until at least `count` messages were received or `timeout` passed.
    bool waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;

    // Current and committed values; nothing for an unknown mode.
    std::optional<std::string> value(const std::string& mode) const;
    std::optional<std::string> committedValue(const std::string& mode) const;
    // Connections accepted so far.
    int connections() const;
    // Every byte each connection sent, one entry per connection in the order
    // they were accepted: for checking exact bytes whatever the message cuts.
    std::vector<std::vector<std::uint8_t>> streams() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace unitsim
