// SPDX-License-Identifier: Apache-2.0
// The one place our own tools read numbers, addresses, ports, prefixes and
// address ranges from text (command lines, inventories, discover ranges).
// Every parser takes the whole text or nothing: no sign, no blanks, no
// trailing characters, no hexadecimal; a number out of range is refused, never
// wrapped. The described programs keep their own lenient reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace platform {

// Decimal digits only, at most `most`.
std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t most);

// Seconds as decimal digits with an optional fraction ("2", "0.25", ".5"),
// above zero and at most `most`.
std::optional<double> parseSeconds(std::string_view text, double most);

// A TCP port, 1 to 65535.
std::optional<std::uint16_t> parsePort(std::string_view text);

// Dotted IPv4 only ("127.0.0.2"): four decimal octets of 0 to 255, at most
// three digits each. Host names are not addresses here.
std::optional<Ipv4> parseIpv4(std::string_view text);

// A prefix length, 0 to 32.
std::optional<unsigned> parsePrefixLength(std::string_view text);

struct Ipv4Range {
    Ipv4 first = 0, last = 0;
    // Addresses in the range; 2^32 for 0.0.0.0/0.
    std::uint64_t size() const { return std::uint64_t{last} - first + 1; }
};

// "A" one address, "A-B" with A <= B, "A/N" the whole block A lies in.
std::optional<Ipv4Range> parseIpv4Range(std::string_view text, std::string& error);

// "host" or "host:port" (a name or a dotted address of letters, digits,
// '.', '-' and '_'; the port as parsePort). The port is empty when the text
// has none.
struct HostPort {
    std::string host;
    std::optional<std::uint16_t> port;
};
std::optional<HostPort> parseHostPort(std::string_view text, std::string& error);

}  // namespace platform
