// SPDX-License-Identifier: Apache-2.0
// What tells one simulated unit from another when one process serves many:
// a UnitID from a name pattern and the unit's place in address order, and a
// SerialNumber and MACAddress from its address, so that each unit keeps them
// from one run to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace unitsim {

inline constexpr const char* kDefaultNamePattern = "TILL%04d";

// A printf-like pattern with exactly one number conversion (%d, or %0Nd /
// %Nd with N up to 9) and "%%" for a percent sign; false and why otherwise.
bool checkNamePattern(std::string_view pattern, std::string& error);

// The pattern with `number` in place of its conversion.
std::string nameFromPattern(std::string_view pattern, std::size_t number);

// "SN" and the address's four octets as three digits each: SN127000001001.
std::string serialNumberFor(platform::Ipv4 address);
// A locally administered address holding the IPv4 address: 02:00:7F:00:01:01.
std::string macAddressFor(platform::Ipv4 address);

// What one unit among many is told apart by: its number (from 1, in address
// order) and its address, with the name pattern all units share. Its values
// are made when read, so that thousands of units hold no strings for them.
struct UnitIdentity {
    std::shared_ptr<const std::string> namePattern;  // none: the table's own values
    std::uint32_t number = 0;
    platform::Ipv4 address = 0;
    explicit operator bool() const { return namePattern != nullptr; }
};

// The modes an identity gives a value: UnitID, SerialNumber, MACAddress.
enum class IdentityMode { UnitId, SerialNumber, MacAddress };
inline constexpr const char* kIdentityModes[] = {"UnitID", "SerialNumber", "MACAddress"};

std::string identityValue(const UnitIdentity& identity, IdentityMode mode);

}  // namespace unitsim
