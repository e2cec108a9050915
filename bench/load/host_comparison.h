// SPDX-License-Identifier: Apache-2.0
// What both host-server benchmarks share: a data file with the key on its
// last line, and rounds in which the server and the bare loop take turns in
// small batches (so a burst of other work on the machine slows both alike),
// with requests per second and server CPU per request for each.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

#include "bench/load/load_driver.h"

namespace load {

// Writes `lines` "key<TAB>response" lines to `path`, saved an hour ago as a
// shop's file would be; the last line's key and response come back.
struct DataFileKey {
    std::string key;
    std::string response;
};
// `firstLines` go before them as they stand.
DataFileKey writeDataFile(const std::string& path, int lines, int firstKey,
                          const std::string& firstLines = {});

// Requests for `key.key` as a unit scans it (text and its zero byte), each
// expected to be answered with the response and its zero byte.
LoadOptions scanOf(const DataFileKey& key);

struct Contender {
    const char* name;
    std::uint16_t port;
    pid_t pid;  // for its CPU time
};

// Runs `rounds` rounds of `requests` each against both (with
// `options.clients` clients at once), prints every round and the medians
// against `target`, and returns the number of failed requests.
std::size_t compareWithBareLoop(LoadOptions options, const Contender& server, const Contender& bare,
                                std::size_t requests, int rounds, double target);

// Every comparison a host server is held to, each against the bare loop in
// the same run: one client (and the server's memory for its data file), 4
// and 16 concurrent clients, and one client's latency while 20 idle
// connections are held open on the server; last one client's latency while
// a hostile peer of each kind runs, the never-reader and the slow reader
// asking with `largeRequest`.
std::size_t runHostComparisons(const LoadOptions& options, const Contender& server,
                               const Contender& bare, std::size_t requests, int rounds,
                               std::size_t dataFileBytes, const std::string& largeRequest);

// Reads "[REQUESTS] [ROUNDS] [LINES]" (defaults 10000, 3 and 10000); false
// after printing the usage for a bad value or --help (`exitStatus` says how
// to end).
bool parseLoadArguments(int argc, char** argv, const char* program, std::size_t& requests,
                        int& rounds, int& lines, int& exitStatus);

}  // namespace load
