// SPDX-License-Identifier: Apache-2.0
#include "unitsim/identity.h"

#include <cstdio>

namespace unitsim {

namespace {

// Where the one number conversion of a checked pattern starts and ends.
struct Conversion {
    std::size_t start = 0, end = 0;
    bool zeros = false;
    int width = 0;
};

std::optional<Conversion> findConversion(std::string_view pattern, std::string& error) {
    std::optional<Conversion> found;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        Conversion c;
        c.start = i++;
        if (i < pattern.size() && pattern[i] == '0') {
            c.zeros = true;
            ++i;
        }
        if (i < pattern.size() && pattern[i] >= '1' && pattern[i] <= '9')
            c.width = pattern[i++] - '0';
        if (i >= pattern.size() || pattern[i] != 'd') {
            error = "name pattern '" + std::string(pattern) +
                    "' may hold only %d, %Nd or %0Nd (N 1 to 9) and %%";
            return std::nullopt;
        }
        c.end = i + 1;
        if (found) {
            error = "name pattern '" + std::string(pattern) + "' holds more than one number";
            return std::nullopt;
        }
        found = c;
    }
    if (!found)
        error = "name pattern '" + std::string(pattern) + "' holds no number (%d, e.g. TILL%04d)";
    return found;
}

std::string literal(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%')
            ++i;
    }
    return out;
}

}  // namespace

bool checkNamePattern(std::string_view pattern, std::string& error) {
    return findConversion(pattern, error).has_value();
}

std::string nameFromPattern(std::string_view pattern, std::size_t number) {
    std::string error;
    std::optional<Conversion> c = findConversion(pattern, error);
    if (!c)
        return literal(pattern);
    std::string digits = std::to_string(number);
    if (digits.size() < static_cast<std::size_t>(c->width))
        digits.insert(0, c->width - digits.size(), c->zeros ? '0' : ' ');
    return literal(pattern.substr(0, c->start)) + digits + literal(pattern.substr(c->end));
}

std::string serialNumberFor(platform::Ipv4 a) {
    char text[16];
    std::snprintf(text, sizeof text, "SN%03u%03u%03u%03u", a >> 24, (a >> 16) & 0xFF,
                  (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

std::string macAddressFor(platform::Ipv4 a) {
    char text[18];
    std::snprintf(text, sizeof text, "02:00:%02X:%02X:%02X:%02X", a >> 24, (a >> 16) & 0xFF,
                  (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

std::string identityValue(const UnitIdentity& identity, IdentityMode mode) {
    switch (mode) {
        case IdentityMode::UnitId:
            return nameFromPattern(*identity.namePattern, identity.number);
        case IdentityMode::SerialNumber:
            return serialNumberFor(identity.address);
        case IdentityMode::MacAddress:
            return macAddressFor(identity.address);
    }
    return {};
}

}  // namespace unitsim
