// SPDX-License-Identifier: Apache-2.0
// The unit's side of a host connection: the unit's messages to a host
// server. Each connects from `from` (a loopback address, so the host sees
// that peer), sends one message and returns what the host answered until it
// closed the connection (or the time-out passed).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace unitsim {

struct HostReply {
    bool connected = false;
    std::vector<std::uint8_t> bytes;
};
struct HostTarget {
    std::string host = "127.0.0.1";
    std::uint16_t port = 1283;
    std::string from;  // local address to connect from; empty: any
    std::chrono::milliseconds timeout{5000};
};
HostReply sendBarcodeText(const HostTarget& target, const std::string& barcode);
HostReply sendBarcodeFrame(const HostTarget& target, const std::string& barcode);  // PROD
HostReply sendEvent(const HostTarget& target, std::uint32_t newStarts, std::uint32_t keyCode,
                    std::uint32_t column, std::uint32_t row, const std::string& text = {});
HostReply sendRegistration(const HostTarget& target, const std::string& unitId,
                           const std::string& productId, const std::string& ip);
// Any raw bytes (a hand-built frame, junk, nothing at all).
HostReply sendRaw(const HostTarget& target, const std::vector<std::uint8_t>& bytes);

}  // namespace unitsim
