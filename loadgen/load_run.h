// SPDX-License-Identifier: Apache-2.0
// Many simulated units acting towards one host server at once: requests
// paced by a schedule (open loop) or a fixed number in flight (closed loop),
// every answer checked and timed, failures counted by their reason.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "unitsim/host_message.h"

namespace loadgen {

using unitsim::MessageBytes;

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
    std::vector<platform::Ipv4> sources;           // the units' addresses, in turn; empty: any
    std::vector<LoadMessage> messages;        // sent in turn
    double rate = 0;                          // requests per second in total; 0: closed loop
    std::size_t concurrency = 1;              // closed loop: requests in flight at once
    std::size_t count = 0;                    // 0: as many as `duration` allows
    std::chrono::milliseconds duration{0};    // 0: until `count` are sent
    std::chrono::milliseconds timeout{5000};  // per request, from its send
    std::optional<std::string> expect;        // for messages without one of their own
};

struct LoadResult {
    std::size_t sent = 0;       // requests started: one connection each
    std::size_t answered = 0;   // a well-formed answer, then the server closed
    std::size_t wrong = 0;      // answered, but not with the expected text
    std::size_t malformed = 0;  // an answer that is no whole frame or text (not answered)
    std::size_t failed = 0;
    std::map<std::string, std::size_t> failures;  // reason -> count
    std::size_t late = 0;
    double latestMs = 0;                        // the latest send after its scheduled time
    std::vector<double> replyMs;                // per answered request
    std::vector<std::string> wrongSamples;      // the first few different wrong answers
    std::vector<std::string> malformedSamples;  // the first few different malformed ones
    bool checked = false;                       // some answer had an expectation
    double seconds = 0;
    std::string error;  // why the run could not start

    // Every request answered well-formed (and right, where checked).
    bool clean() const { return failed == 0 && wrong == 0 && malformed == 0; }
};

// Called about once a second while the run goes on.
using LoadProgress = std::function<void(const LoadResult&)>;

// Runs the plan in the calling thread, on an event loop of its own.
LoadResult runLoad(const LoadPlan& plan, const LoadProgress& progress = {});

}  // namespace loadgen
