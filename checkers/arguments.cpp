// SPDX-License-Identifier: Apache-2.0
#include "checkers/arguments.h"

#include <climits>

#include "protocol/text.h"

namespace checkers {

namespace {

bool isOption(const std::string& arg) { return !arg.empty() && (arg[0] == '-' || arg[0] == '/'); }

bool isDelayOption(const std::string& arg) {
    return arg.size() >= 2 && (arg[1] == 'D' || arg[1] == 'd');
}

}  // namespace

int atoiLike(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && protocol::isWhite(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            // The number is past what an int holds: saturate rather than wrap.
            return negative ? INT_MIN : INT_MAX;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

int delayFromOption(std::string_view digits) {
    int value = atoiLike(digits);
    return value < 1 ? 1 : value;
}

Arguments parseArguments(std::span<const std::string> args, bool acceptsDelay) {
    Arguments result;
    for (const std::string& arg : args) {
        if (!isOption(arg)) {
            result.address = arg.substr(0, kAddressLimit);
            continue;
        }
        if (acceptsDelay && isDelayOption(arg)) {
            result.delaySeconds = delayFromOption(std::string_view(arg).substr(2));
            result.announcedDelays.push_back(result.delaySeconds);
            continue;
        }
        result.showUsage = true;
        return result;
    }
    if (result.address.empty()) result.showUsage = true;
    return result;
}

}  // namespace checkers
