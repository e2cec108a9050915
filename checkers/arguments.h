// SPDX-License-Identifier: Apache-2.0
// Command lines of the two unit checkers: `probe IPAddress` and
// `Drosk [-Ds] IPAddress`. Both take the last plain argument as the unit's
// address; Drosk alone knows the delay option.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace checkers {

// A unit address is held in 256 bytes, so at most 255 characters are used.
inline constexpr std::size_t kAddressLimit = 255;
inline constexpr int kDefaultDelaySeconds = 10;

struct Arguments {
    bool showUsage = false;     // usage text, then exit status 0
    std::string address;        // last plain argument, cut to kAddressLimit
    int delaySeconds = kDefaultDelaySeconds;
    // Every delay option read before the command line was given up, in
    // order: Drosk announces each one as it reads it.
    std::vector<int> announcedDelays;
};

// `acceptsDelay` is true for Drosk: "-D" or "/D" (either case) followed by
// the number of seconds. Any other argument starting with "-" or "/" asks for
// the usage text at once, and the rest of the command line is not read.
Arguments parseArguments(std::span<const std::string> args, bool acceptsDelay);

// Decimal number as the C library's atoi reads it (leading white space, a
// sign, digits; no digits gives 0), saturated instead of overflowing.
int atoiLike(std::string_view text);

// The delay actually used for an option text: below 1 becomes 1.
int delayFromOption(std::string_view digits);

}  // namespace checkers
