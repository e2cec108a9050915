// Many simulated units acting towards one host server at once: requests
// paced by a schedule (open loop) or a fixed number in flight (closed loop),
// every answer checked and timed, failures counted by their reason.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "net/socket.h"
#include "unitsim/host_message.h"

namespace unitsim {

struct LoadMessage {
    MessageBytes bytes;
    std::optional<std::string> expect;  // this message's own expected answer text
};

// A send that leaves more than this after its scheduled time counts as late.
inline constexpr std::chrono::milliseconds kLateAfter{2};
// Open loop: at most this many requests in flight; when a slow server holds
// them all, later sends wait (and are late, their wait counted in their
// reply time).
inline constexpr std::size_t kMaxInFlight = 4096;

struct LoadPlan {
    std::string host = "127.0.0.1";
    std::uint16_t port = 1283;
    std::vector<net::Ipv4> sources;           // the units' addresses, in turn; empty: any
    std::vector<LoadMessage> messages;        // sent in turn
    double rate = 0;                          // requests per second in total; 0: closed loop
    std::size_t concurrency = 1;              // closed loop: requests in flight at once
    std::size_t count = 0;                    // 0: as many as `duration` allows
    std::chrono::milliseconds duration{0};    // 0: until `count` are sent
    std::chrono::milliseconds timeout{5000};  // per request, from its send
    std::optional<std::string> expect;        // for messages without one of their own
};

struct LoadResult {
    std::size_t sent = 0;      // requests started: one connection each
    std::size_t answered = 0;  // an answer, then the server closed
    std::size_t wrong = 0;     // answered, but not with the expected text
    std::size_t failed = 0;
    std::map<std::string, std::size_t> failures;  // reason -> count
    std::size_t late = 0;
    double latestMs = 0;                    // the latest send after its scheduled time
    std::vector<double> replyMs;            // per answered request
    std::vector<std::string> wrongSamples;  // the first few different wrong answers
    bool checked = false;                   // some answer had an expectation
    double seconds = 0;
    std::string error;  // why the run could not start
};

// Called about once a second while the run goes on.
using LoadProgress = std::function<void(const LoadResult&)>;

// Runs the plan in the calling thread, on an event loop of its own.
LoadResult runLoad(const LoadPlan& plan, const LoadProgress& progress = {});

// The text of an answer, as --expect compares it: unframed text up to its
// zero byte; a DATA frame's content; any other frame's body text.
std::string answerText(const MessageBytes& answer);

struct Percentiles {
    double p50 = 0, p90 = 0, p99 = 0, max = 0;
};
Percentiles percentiles(std::vector<double> values);  // nearest rank; zeros when empty

std::string loadTable(const LoadPlan& plan, const LoadResult& result);
std::string loadJson(const LoadPlan& plan, const LoadResult& result);
std::string progressLine(const LoadResult& result);

// `unitsim load ...`; exit status 0 when every request was answered (and
// right), 1 when some failed or were wrong, 2 on a bad command line.
int loadCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
extern const char* const kLoadHelp;

}  // namespace unitsim
