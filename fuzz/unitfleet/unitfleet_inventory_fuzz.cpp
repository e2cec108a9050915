// SPDX-License-Identifier: Apache-2.0
// Any inventory file: every line is a unit or a fault with its line number,
// and the units' retry lines read back as the same units.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "unitfleet/inventory.h"

namespace {

// Dotted addresses only: a fuzzer's words must never reach a name server.
std::optional<platform::Ipv4> dottedOnly(const std::string& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        return std::nullopt;
    return ntohl(parsed.s_addr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    unitfleet::Inventory inventory = unitfleet::parseInventory(text, "fuzz", dottedOnly);
    std::string again;
    for (const unitfleet::InventoryUnit& unit : inventory.units) {
        if (unit.fileStem().size() > unitfleet::kLongestStem || unit.line < 1)
            std::abort();
        again += unit.text + "\n";
    }
    // A retry file is the units' own lines: it must give the same units.
    unitfleet::Inventory reread = unitfleet::parseInventory(again, "retry", dottedOnly);
    if (!reread.errors.empty() || reread.units.size() != inventory.units.size())
        std::abort();
    for (std::size_t i = 0; i < reread.units.size(); ++i) {
        if (reread.units[i].label() != inventory.units[i].label() ||
            reread.units[i].groups != inventory.units[i].groups)
            std::abort();
    }
    return 0;
}
