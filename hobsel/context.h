// SPDX-License-Identifier: Apache-2.0
// Hobsel's run-wide state: the settings read from the command line, the
// barcode history, the request counter and the seams tests use in place of
// the clock, the sleeps and standard output.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "platform/send_deadline.h"
#include "platform/socket.h"

namespace hobsel {

enum class ResponseFormat { Trivial, Nominal };

// Text settings hold at most capacity - 1 characters (the capacity counts
// the terminating zero the unit-side tools expect).
inline constexpr std::size_t kNameCapacity = 128;
inline constexpr std::size_t kTriggerCapacity = 1024;

struct Settings {
    ResponseFormat format = ResponseFormat::Trivial;
    std::uint16_t port = 1283;
    std::string dataFile = "data.dat";
    int threshold = 10;
    int verbosity = 0;
    bool showMessage = false;
    bool console = false;
    bool eventPrinting = false;
    int imageCount = 0;
    bool inlineGraphics = false;
    std::string hostName;
    int inputSkip = 0;
    int outputPrefix = 0;
    bool bareKey = false;
    std::string barcodeLog;
    bool mixedText = false;
    std::string triggerBarcode;
    bool graphic = true;
    std::string registrationsFile;
    bool multipleText = false;
    bool touchDemo = false;
};

// Repeated scans of one barcode within the threshold count up, so the data
// file can answer the first, second and third scan differently.
struct History {
    std::string lastBarcode;
    std::time_t lastScanTime = 0;
    int scanCount = 0;
    std::string savedRecord;
};

// The touch cell a touch look-up tests rectangles against; -1 while no touch
// look-up runs.
struct TouchPoint {
    int column = -1;
    int row = -1;
};

class DataFileCache;
struct TouchDemo;

// An event answer on its way back to the unit that reported the event.
struct EventAnswer {
    bool print = false;  // a print packet; otherwise a record, sent as it stands
    platform::Ipv4 unit = 0;
    // The record and the bytes the look-up reported for it (its zero byte
    // included, two for a double-byte record).
    const char* record = nullptr;
    std::size_t length = 0;
};

// A connection an answer or a push goes out on, with the one time limit all
// its sends share: a unit that stops taking bytes loses the rest of its
// answer once that is used up, however many pieces remain. Only the time spent
// waiting for the unit counts, so the pauses of the timed answers do not.
struct Outlet {
    Outlet() = default;
    Outlet(platform::Socket connection, std::chrono::milliseconds limit)
        : socket(std::move(connection)),
          deadline(limit, platform::SendDeadline::Counting::WaitingOnly) {}

    explicit operator bool() const { return socket.valid(); }
    void close() { socket.close(); }
    // A send failed or the limit ran out: nothing more goes out on it.
    bool dropped() const { return deadline.failed(); }

    platform::Socket socket;
    platform::SendDeadline deadline{std::chrono::milliseconds(0)};
};

struct Context {
    Context();
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Settings settings;
    std::FILE* out = stdout;

    History history;
    // Set by every text request and whenever the history is cleared; the
    // event printing clears it after one print.
    bool printArmed = true;
    int requestCounter = 0;
    // Address of the unit being served (0 in console mode); event answers go
    // back to it.
    platform::Ipv4 peer = 0;
    // The touch demo's connection to a unit's port 1283; closed after every
    // served connection.
    Outlet unitConnection;
    TouchPoint touchPoint;
    // Key code of the last key event; the key templates of the data file use it.
    long keyCode = 0;

    // A unit that connects and sends nothing must not hold the server for ever.
    std::chrono::milliseconds receiveTimeout{30000};
    // A unit that stops reading its answer is dropped once its answer has
    // waited this long for it in all, so it cannot hold the server either.
    std::chrono::milliseconds sendTimeout{5000};
    std::function<void(std::chrono::milliseconds)> sleep;
    std::function<std::time_t()> clock;

    std::unique_ptr<DataFileCache> dataCache;
    // The touch demonstration's script and where it stands.
    std::unique_ptr<TouchDemo> demo;

    // Connections to a unit's port 1283 give up after this long, and what is
    // pushed on one waits at most this long for the unit in all, so one unit
    // that does not answer cannot hold the server.
    std::chrono::milliseconds unitTimeout{5000};
    // When set, event answers go here instead of to the unit (tests and
    // fuzzing record them).
    std::function<void(const EventAnswer&)> forwardHook;

    // Writes a message when the verbosity is at least `level`, and flushes.
    void say(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Writes a message whatever the verbosity, and flushes.
    void write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool verbose(int level) const { return settings.verbosity >= level; }
    // The local time in ctime form, line feed included.
    std::string timeLine() const;
};

}  // namespace hobsel
