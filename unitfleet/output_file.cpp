// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/output_file.h"

#include <filesystem>

#include "platform/atomic_file.h"

namespace unitfleet {

namespace fs = std::filesystem;

bool writeOutputFile(const std::string& path, std::string_view content, std::string& error) {
    std::error_code ec;
    fs::path target = path;
    // Links are followed to their end (a link to a link included), so the
    // rename happens beside the real file and every link keeps pointing to it.
    for (int hops = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
        if (hops == 40) {
            error = path + ": too many levels of symbolic links";
            return false;
        }
        fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            error = path + ": " + ec.message();
            return false;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    fs::file_status status = fs::symlink_status(target, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        error = path + (target.string() == path ? "" : " (" + target.string() + ")") +
                " is not a regular file; name a regular file or a new one";
        return false;
    }
    return platform::writeFileAtomically(target.string(), content, false, error);
}

}  // namespace unitfleet
