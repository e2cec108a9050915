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
DataFileKey writeDataFile(const std::string& path, int lines, int firstKey);

// Requests for `key.key` as a unit scans it (text and its zero byte), each
// expected to be answered with the response and its zero byte.
LoadOptions scanOf(const DataFileKey& key);

struct Contender {
    const char* name;
    std::uint16_t port;
    pid_t pid;  // for its CPU time
};

// Runs `rounds` rounds of `requests` each against both, prints every round
// and the medians, and returns the number of failed requests.
std::size_t compareWithBareLoop(LoadOptions options, const Contender& server,
                                const Contender& bare, std::size_t requests, int rounds);

// Reads "[REQUESTS] [ROUNDS]" (defaults 10000 and 3); false after printing
// the usage for a bad value or --help (`exitStatus` says how to end).
bool parseLoadArguments(int argc, char** argv, const char* program, std::size_t& requests,
                        int& rounds, int& exitStatus);

}  // namespace load
