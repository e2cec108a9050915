// SPDX-License-Identifier: Apache-2.0
// What one unit may cost unitfleet, whatever it sends: a mode table that the
// mode tools could not read back is refused, and so is a listing too large to
// be a real unit's, before either takes memory or disk space.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "protocol/mode_ini.h"

namespace unitfleet {

// Longest mode name a unit may list. A saved listing is restored with the
// mode tool, which stops at a name of kLongModeName characters or more, so a
// longer name could never be restored; real names are far shorter.
inline constexpr std::size_t kLongestModeName = protocol::kLongModeName - 1;

// Largest listing written for one unit. A unit of a few hundred modes makes
// some tens of kilobytes; a full 128 KiB reply of sound lines stays below
// this too, so only a table built to blow up the padding reaches it.
inline constexpr std::size_t kLargestListing = 1024 * 1024;

// Whether a definition reply is usable; false, with what makes it unusable in
// `error`, for no line at all, or a line without a name, with a name longer
// than kLongestModeName or holding a control character, or without its type
// (which is how a name that runs on across lines shows).
bool definitionFits(std::string_view body, std::string& error);

// Whether a listing of `size` bytes may be written; false with why in `error`.
bool listingFits(std::size_t size, std::string& error);

}  // namespace unitfleet
