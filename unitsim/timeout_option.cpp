// SPDX-License-Identifier: Apache-2.0
#include "unitsim/timeout_option.h"

#include <cmath>
#include <cstdint>

#include "platform/parse.h"

namespace unitsim {

namespace {

constexpr auto kMaxMs = static_cast<std::uint64_t>(kMaxTimeoutSeconds * 1000);

std::optional<Timeout> milliseconds(std::uint64_t ms) {
    if (ms == 0 || ms > kMaxMs)
        return std::nullopt;
    return Timeout{std::chrono::milliseconds(ms), {}};
}

}  // namespace

std::optional<Timeout> parseTimeout(std::string_view text) {
    if (text.size() > 2 && text.substr(text.size() - 2) == "ms") {
        std::optional<std::uint64_t> ms =
            platform::parseUnsigned(text.substr(0, text.size() - 2), kMaxMs);
        return ms ? milliseconds(*ms) : std::nullopt;
    }
    std::optional<std::uint64_t> whole = platform::parseUnsigned(text, kMaxMs);
    if (whole && *whole > kLargestSecondsWithoutUnit) {
        std::optional<Timeout> t = milliseconds(*whole);
        if (t)
            t->warning = "--timeout is in seconds now; taking " + std::string(text) +
                         " as milliseconds (write " + std::string(text) + "ms)";
        return t;
    }
    std::optional<double> seconds =
        platform::parseSeconds(text, static_cast<double>(kLargestSecondsWithoutUnit));
    if (!seconds)
        return std::nullopt;
    // Whole milliseconds, and never none: 0.0001 s waits a millisecond.
    auto ms = static_cast<std::uint64_t>(std::llround(*seconds * 1000));
    return milliseconds(ms == 0 ? 1 : ms);
}

}  // namespace unitsim
