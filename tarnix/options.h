// SPDX-License-Identifier: Apache-2.0
// Tarnix's command line: options begin with "-" or "/", their letter is
// case-insensitive and their value follows the letter directly; the last
// argument that is not an option names the unit.
#pragma once

#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace tarnix {

inline constexpr const char* kDefaultIniFile = "Tarnix.ini";

struct Settings {
    std::string target;  // empty: take TargetIP from the ini file
    std::string iniFile = kDefaultIniFile;
    int verbose = 0;
    bool setFromIni = false;
    bool commit = false;
    bool restart = false;
    std::string setText;     // -i
    std::string getText;     // -g
    std::string literal;     // -l, surrounding quotes removed
    bool showUsage = false;  // -? seen: print the usage text and stop
    // How long to wait for each reply before giving up on the unit. Not an
    // option; tests shorten it.
    std::chrono::milliseconds replyTimeout{10000};
};

// Parses the arguments that follow the program name, in order; later values
// replace earlier ones and unknown letters are ignored. Parsing stops at "-?".
Settings parseArguments(std::span<const std::string_view> args);

// The usage text, on `stream`.
void printUsage(std::FILE* stream);

}  // namespace tarnix
