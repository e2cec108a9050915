// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/revision_argument.h"

#include <filesystem>

namespace unitfleet {

std::optional<RevisionArgument> splitRevisionArgument(const std::string& argument) {
    std::error_code ec;
    if (std::filesystem::is_directory(argument, ec))
        return std::nullopt;
    // A revision may hold '@' itself ("HEAD@{1}") and so may a folder's name:
    // the first '@' with a folder before it and a revision after it is the
    // split; without a folder at any, the first '@'.
    std::optional<RevisionArgument> first;
    for (std::size_t at = argument.find('@'); at != std::string::npos;
         at = argument.find('@', at + 1)) {
        if (at == 0 || at + 1 == argument.size())
            continue;
        RevisionArgument split{argument.substr(0, at), argument.substr(at + 1)};
        if (std::filesystem::is_directory(split.dir, ec))
            return split;
        if (!first)
            first = std::move(split);
    }
    return first;
}

}  // namespace unitfleet
