// SPDX-License-Identifier: Apache-2.0
// --timeout of unitsim's host commands and of `unitsim load`: seconds with
// fractions, as in every tool of the suite. unitsim took milliseconds before;
// that spelling still works, with a warning.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace unitsim {

// The longest time-out in seconds.
inline constexpr double kMaxTimeoutSeconds = 3600;
// A whole number above this is taken as milliseconds (the old spelling).
inline constexpr std::uint64_t kLargestSecondsWithoutUnit = 100;

struct Timeout {
    std::chrono::milliseconds value{0};
    std::string warning;  // set when the old spelling was taken
};

// "2.5" (seconds, 0.001 to 100), "750ms" (milliseconds), or a whole number
// above 100 taken as milliseconds with a warning; at most an hour. Nothing
// for anything else.
std::optional<Timeout> parseTimeout(std::string_view text);

}  // namespace unitsim
