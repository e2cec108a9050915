// The simulated unit: answers a configuration client on ADDRESS:1283 as a
// real unit does, and can act as a unit towards a host server. Tests run it
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

namespace net {
class LoopThread;
}

namespace unitsim {

struct ModeDef {
    std::string name;
    std::string type;       // "STRING", "BOOLEAN", "INTEGER", ...
    int size = 0;           // for STRING: the most characters a value may hold
    std::string help;
    std::string value;      // current value, as the unit reports it
    bool readOnly = false;
};

// A realistic table of a few dozen modes (UnitID, UnitStatus, POSTimeout,
// TextReset, ServerType, DateTime, ProductName, buildInfo, ...).
std::vector<ModeDef> defaultModes();

// Reads a mode file (format in `unitsim --help`); nothing and a message in
// `error` when it cannot be read or a line is malformed.
std::optional<std::vector<ModeDef>> loadModeFile(const std::string& path, std::string& error);

// Ways to misbehave, for tests of the clients' failure handling.
struct Faults {
    int keepAlivesBeforeReply = 0;         // DATA/NOP_ frames sent ahead of every reply
    std::vector<std::string> refusedModes; // sets of these modes answer ERR_
    std::string driftingMode;              // its value changes every time it is read
    std::chrono::milliseconds replyDelay{0};  // wait before every reply
    bool dropMidFrame = false;             // send half of the next reply, then close
    bool oversizedLength = false;          // next reply's length field is 0x7FFFFFF0
    bool silent = false;                   // read queries, never answer
};

struct Options {
    std::string address = "127.0.0.2";
    std::uint16_t port = 1283;
    std::vector<ModeDef> modes = defaultModes();
    // When set, the table instead of `modes`: many units share it until one
    // of them changes a value.
    std::shared_ptr<const std::vector<ModeDef>> sharedModes;
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
    Unit(Options options, net::LoopThread& loop);
    ~Unit();  // stops
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // Binds ADDRESS:PORT and starts serving in a background thread.
    bool start(std::string* error = nullptr);
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

// The host side: the unit's messages to a host server. Each connects from
// `from` (a loopback address, so the host sees that peer), sends one message
// and returns what the host answered until it closed the connection (or the
// time-out passed).
struct HostReply {
    bool connected = false;
    std::vector<std::uint8_t> bytes;
};
struct HostTarget {
    std::string host = "127.0.0.1";
    std::uint16_t port = 1283;
    std::string from;  // local address to connect from; empty: any
    std::chrono::milliseconds timeout{5000};
};
HostReply sendBarcodeText(const HostTarget& target, const std::string& barcode);
HostReply sendBarcodeFrame(const HostTarget& target, const std::string& barcode);  // PROD
HostReply sendEvent(const HostTarget& target, std::uint32_t newStarts, std::uint32_t keyCode,
                    std::uint32_t column, std::uint32_t row, const std::string& text = {});
HostReply sendRegistration(const HostTarget& target, const std::string& unitId,
                           const std::string& productId, const std::string& ip);
// Any raw bytes (a hand-built frame, junk, nothing at all).
HostReply sendRaw(const HostTarget& target, const std::vector<std::uint8_t>& bytes);

}  // namespace unitsim
