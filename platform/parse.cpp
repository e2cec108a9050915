// SPDX-License-Identifier: Apache-2.0
#include "platform/parse.h"

#include <charconv>

namespace platform {

namespace {

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

}  // namespace

std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t most) {
    if (!allDigits(text))
        return std::nullopt;
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value > most)
        return std::nullopt;
    return value;
}

std::optional<double> parseSeconds(std::string_view text, double most) {
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : text.substr(dot + 1);
    if ((whole.empty() && fraction.empty()) || (!whole.empty() && !allDigits(whole)) ||
        (dot != std::string_view::npos && !allDigits(fraction)))
        return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || at != end || !(value > 0) || value > most)
        return std::nullopt;
    return value;
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    std::optional<std::uint64_t> port = parseUnsigned(text, 65535);
    if (!port || *port == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(*port);
}

std::optional<Ipv4> parseIpv4(std::string_view text) {
    Ipv4 address = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos)
            return std::nullopt;
        std::string_view digits = text.substr(0, dot);
        std::optional<std::uint64_t> octet =
            digits.size() <= 3 ? parseUnsigned(digits, 255) : std::nullopt;
        if (!octet)
            return std::nullopt;
        address = (address << 8) | static_cast<Ipv4>(*octet);
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

std::optional<unsigned> parsePrefixLength(std::string_view text) {
    std::optional<std::uint64_t> length = text.size() <= 2 ? parseUnsigned(text, 32) : std::nullopt;
    if (!length)
        return std::nullopt;
    return static_cast<unsigned>(*length);
}

std::optional<Ipv4Range> parseIpv4Range(std::string_view text, std::string& error) {
    if (std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        std::optional<Ipv4> base = parseIpv4(text.substr(0, slash));
        std::optional<unsigned> length = parsePrefixLength(text.substr(slash + 1));
        if (!base || !length) {
            error = "not an address block (A/N, N from 0 to 32): " + quoted(text);
            return std::nullopt;
        }
        // A 64-bit shift: a prefix of 0 shifts by 32, undefined for 32 bits.
        Ipv4 mask = static_cast<Ipv4>(~std::uint64_t{0} << (32 - *length));
        return Ipv4Range{*base & mask, (*base & mask) | ~mask};
    }
    if (std::size_t dash = text.find('-'); dash != std::string_view::npos) {
        std::optional<Ipv4> first = parseIpv4(text.substr(0, dash));
        std::optional<Ipv4> last = parseIpv4(text.substr(dash + 1));
        if (!first || !last) {
            error = "not an address range (A-B): " + quoted(text);
            return std::nullopt;
        }
        if (*first > *last) {
            error = "address range runs backwards: " + quoted(text);
            return std::nullopt;
        }
        return Ipv4Range{*first, *last};
    }
    std::optional<Ipv4> one = parseIpv4(text);
    if (!one) {
        error = "not a dotted IPv4 address: " + quoted(text);
        return std::nullopt;
    }
    return Ipv4Range{*one, *one};
}

std::optional<HostPort> parseHostPort(std::string_view text, std::string& error) {
    HostPort result;
    std::size_t colon = text.rfind(':');
    std::string_view host = text.substr(0, colon);
    if (colon != std::string_view::npos) {
        result.port = parsePort(text.substr(colon + 1));
        if (!result.port) {
            error = "not a port (1 to 65535) in " + quoted(text);
            return std::nullopt;
        }
    }
    if (host.empty() || host.find(':') != std::string_view::npos) {
        error = "no host name or address in " + quoted(text);
        return std::nullopt;
    }
    // A host name's own alphabet: anything else (a control byte, a stray
    // byte-order mark) is a fault of the text, never a name to look up.
    for (char c : host) {
        bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '.' && c != '-' && c != '_') {
            error = "not a host name or address: " + quoted(host);
            return std::nullopt;
        }
    }
    result.host = std::string(host);
    return result;
}

}  // namespace platform
