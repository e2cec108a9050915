#include "unitfleet/revision_argument.h"

#include <filesystem>

namespace unitfleet {

std::optional<RevisionArgument> splitRevisionArgument(const std::string& argument) {
    std::error_code ec;
    if (std::filesystem::is_directory(argument, ec))
        return std::nullopt;
    std::size_t at = argument.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == argument.size())
        return std::nullopt;
    return RevisionArgument{argument.substr(0, at), argument.substr(at + 1)};
}

}  // namespace unitfleet
