// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/unit_limits.h"

#include "protocol/text.h"

namespace unitfleet {

namespace {

bool isControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// The start of a line for a message, safe for a terminal.
std::string shown(std::string_view line) {
    constexpr std::size_t kShown = 24;
    std::string text = protocol::escapeControls(line.substr(0, kShown));
    return "'" + text + (line.size() > kShown ? "...'" : "'");
}

bool fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

// Whether one definition line is sound; false with what is wrong in `error`.
bool lineFits(std::string_view line, std::string& error) {
    std::size_t nameEnd = line.find_first_of(" =");
    if (nameEnd == std::string_view::npos)
        return fail(error, "has no type: " + shown(line));
    std::string_view name = line.substr(0, nameEnd);
    if (name.empty())
        return fail(error, "has no mode name: " + shown(line));
    if (name.size() > kLongestModeName) {
        return fail(error, "has a mode name of " + std::to_string(name.size()) +
                               " characters (at most " + std::to_string(kLongestModeName) +
                               "): " + shown(line));
    }
    for (char c : name) {
        if (isControl(c))
            return fail(error, "has a control character in its mode name: " + shown(line));
    }
    std::size_t typeStart = line.find_first_not_of(" =", nameEnd);
    if (typeStart == std::string_view::npos || line.find_first_of(" \t,", typeStart) == typeStart)
        return fail(error, "has no type: " + shown(line));
    return true;
}

}  // namespace

bool definitionFits(std::string_view body, std::string& error) {
    if (body.empty())
        return fail(error, "the unit lists no modes");
    // Lines as the table reader counts them: runs of CR and LF separate
    // them, and a leading run makes an empty first line.
    std::size_t number = 1;
    for (std::size_t at = 0;; ++number) {
        std::size_t end = body.find_first_of("\r\n", at);
        if (std::string why; !lineFits(body.substr(at, end - at), why))
            return fail(error, "definition line " + std::to_string(number) + " " + why);
        if (end == std::string_view::npos)
            break;
        at = body.find_first_not_of("\r\n", end);
        if (at == std::string_view::npos)
            break;
    }
    return true;
}

bool listingFits(std::size_t size, std::string& error) {
    if (size <= kLargestListing)
        return true;
    return fail(error, "the listing would take " + std::to_string(size) + " bytes, more than the " +
                           std::to_string(kLargestListing) + " a unit may take");
}

}  // namespace unitfleet
