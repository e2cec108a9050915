// SPDX-License-Identifier: Apache-2.0
// restore's listing reader on any bytes: it takes a listing whole or refuses
// it with a reason, and what it takes holds only settings that pass the
// same data checks as an ini file's (no line break or NUL in a value, no
// '=' or blank in a name).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "unitfleet/listing_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<unitfleet::Listing> listing = unitfleet::readListing(text, error);
    if (!listing) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (listing->target.find_first_of(std::string_view("\n\0", 2)) != std::string::npos)
        std::abort();
    for (const unitfleet::ModeSetting& mode : listing->modes) {
        if (mode.name.empty() ||
            mode.name.find_first_of(std::string_view(" \t=\r\n\0", 6)) != std::string::npos)
            std::abort();
        if (mode.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            std::abort();
        if (mode.line < 6)
            std::abort();
    }
    // Whatever it read passes or fails the setting checks without harm.
    unitfleet::checkSettings(listing->modes, "fuzz");
    return 0;
}
