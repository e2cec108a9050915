// Files that appear whole or not at all: written to a temporary file in the
// same folder, then renamed over the target.
#pragma once

#include <string>
#include <string_view>

namespace unitfleet {

// Writes `content` to `path`; with `durable` the data reach the disk before
// the rename. False and a message in `error` on failure, with no temporary
// file left behind.
bool writeFileAtomically(const std::string& path, std::string_view content, bool durable,
                         std::string& error);

}  // namespace unitfleet
