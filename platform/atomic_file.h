// SPDX-License-Identifier: Apache-2.0
// Files that appear whole or not at all: written to a temporary file in the
// same folder, then renamed over the target.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes `content` to `path`; with `durable` the data reach the disk before
// the rename. False and a message in `error` on failure, with no temporary
// file left behind.
bool writeFileAtomically(const std::string& path, std::string_view content, bool durable,
                         std::string& error);

// Writes `content` to `path`, which must not exist yet (nor be a link): for
// files named after a run, which never replace an older one. False and a
// message in `error` otherwise, with nothing left behind that it created.
bool writeNewFile(const std::string& path, std::string_view content, std::string& error);

}  // namespace platform
