// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/listing_reader.h"

#include <array>

#include "protocol/text.h"

namespace unitfleet {

namespace {

constexpr std::string_view kHeading = "\n\n# ***  Current Content  ***\n\n";
constexpr std::string_view kTargetPrefix = "TargetIP = ";
constexpr std::string_view kNoValue = "(null)";

constexpr std::array<std::string_view, 6> kIdentityModes = {
    "SerialNumber", "MACAddress", "ProductName", "buildInfo", "UnitStatus", "DateTime"};

bool isNameChar(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte != 0x7F && c != '=';
}

// "Name<one or more blanks>= value": the name, and the value after "= ".
bool readModeLine(std::string_view line, ModeSetting& setting) {
    std::size_t nameEnd = 0;
    while (nameEnd < line.size() && isNameChar(line[nameEnd])) ++nameEnd;
    std::size_t equals = line.find_first_not_of(' ', nameEnd);
    if (nameEnd == 0 || equals == nameEnd || equals == std::string_view::npos ||
        line.substr(equals, 2) != "= ")
        return false;
    setting.name = std::string(line.substr(0, nameEnd));
    setting.value = std::string(line.substr(equals + 2));
    return true;
}

}  // namespace

std::optional<Listing> readListing(std::string_view text, std::string& error) {
    if (!text.starts_with(kHeading)) {
        error = "it does not start with a listing's heading";
        return std::nullopt;
    }
    text.remove_prefix(kHeading.size());
    if (text.find('\0') != std::string_view::npos) {
        error = "it holds a zero byte";
        return std::nullopt;
    }
    if (!text.empty() && text.back() != '\n') {
        error = "its last line is cut short";
        return std::nullopt;
    }
    Listing listing;
    int number = 4;  // the heading's lines
    bool targetSeen = false;
    while (!text.empty()) {
        ++number;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        // A listing saved with CR LF line ends reads as one with LF; a CR
        // anywhere else is no part of a mode line.
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find('\r') != std::string_view::npos) {
            error = "line " + std::to_string(number) + ": a carriage return inside the line";
            return std::nullopt;
        }
        if (!targetSeen) {
            if (!line.starts_with(kTargetPrefix) || line.size() == kTargetPrefix.size()) {
                error = "line " + std::to_string(number) + ": no TargetIP line";
                return std::nullopt;
            }
            listing.target = std::string(line.substr(kTargetPrefix.size()));
            targetSeen = true;
            continue;
        }
        ModeSetting setting;
        setting.line = number;
        if (!readModeLine(line, setting)) {
            std::string shown = protocol::escapeControls(line.substr(0, 40));
            error = "line " + std::to_string(number) + ": not a mode line: '" + shown +
                    (line.size() > 40 ? "...'" : "'");
            return std::nullopt;
        }
        if (setting.value != kNoValue)
            listing.modes.push_back(std::move(setting));
    }
    if (!targetSeen) {
        error = "it has no TargetIP line";
        return std::nullopt;
    }
    return listing;
}

bool isIdentityMode(std::string_view name) {
    for (std::string_view identity : kIdentityModes) {
        if (protocol::equalsIgnoreCase(identity, name))
            return true;
    }
    return false;
}

protocol::ModeTable listingTable(const Listing& listing) {
    // Names read from a listing hold no blank, '=' or line end, so each one
    // is a definition line of its own.
    std::string definitions;
    for (const ModeSetting& mode : listing.modes) definitions += mode.name + " STRING\n";
    protocol::ModeTable table;
    table.readDefinitions(definitions);
    for (std::size_t i = 0; i < listing.modes.size() && i < table.count(); ++i)
        table[i].nvram = listing.modes[i].value;
    return table;
}

}  // namespace unitfleet
