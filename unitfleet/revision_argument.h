// SPDX-License-Identifier: Apache-2.0
// "DIR@REVISION": a backup folder kept with --git, as it was at a commit
// ("saved@HEAD~1", "saved@3f2a1bc", "saved@before-upgrade").
#pragma once

#include <optional>
#include <string>

namespace unitfleet {

struct RevisionArgument {
    std::string dir;
    std::string revision;
};

// The folder and revision of DIR@REVISION, split at the first "@" that has
// a folder before it ("saved@HEAD@{1}"). Nothing
// when the argument names an existing folder as it is (a folder may have
// "@" in its name) or either side is empty.
std::optional<RevisionArgument> splitRevisionArgument(const std::string& argument);

}  // namespace unitfleet
