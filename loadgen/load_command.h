// SPDX-License-Identifier: Apache-2.0
// `unitsim load`: its command line (a CLI11 subcommand of unitsim's), and the
// run that reports as a table or as JSON.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace loadgen {

// The options as given; checked by runLoadCommand() with the suite's strict
// parsers, so that every fault has the same plain message.
struct LoadOptions {
    std::vector<std::string> message;  // KIND WORDS...
    std::string messageFile;
    std::string host = "127.0.0.1";
    std::string port, units, from, rate, concurrency, count, duration, timeout;
    std::optional<std::string> expect;
    bool json = false;
    bool ownHost = false;
};

// Adds `load` and its options to `parent`.
CLI::App* addLoadCommand(CLI::App& parent, LoadOptions& options);

// Runs a parsed `load`: 0 when every request was answered well-formed (and
// right), 1 when some failed, were malformed or wrong, 2 on a bad command line.
int runLoadCommand(const LoadOptions& options, std::FILE* out, std::FILE* err);

}  // namespace loadgen
