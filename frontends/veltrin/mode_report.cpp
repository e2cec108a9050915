// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/mode_report.h"

#include <algorithm>
#include <fstream>

namespace veltrin {

std::string modeReport(const std::vector<std::string>& names,
                       const std::vector<std::string>& contents) {
    std::size_t longest = 0;
    for (const std::string& name : names) longest = std::max(longest, name.size());
    std::string out = "Mode\t\t\tContent\r\n\r\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        out += names[i];
        out.append(longest - names[i].size(), ' ');
        out += "  = ";
        if (i < contents.size())
            out += contents[i];
        out += "\r\n";
    }
    return out;
}

bool writeModeReport(const std::filesystem::path& file, const std::vector<std::string>& names,
                     const std::vector<std::string>& contents) {
    const std::string report = modeReport(names, contents);
    bool written = false;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(report.data(), static_cast<std::streamsize>(report.size()));
        out.flush();
        written = static_cast<bool>(out);
        out.close();
        written = written && !out.fail();
    }
    if (!written) {
        // Only a plain file is removed: a device or pipe chosen as the
        // report is never deleted.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(file, ignored))
            std::filesystem::remove(file, ignored);
    }
    return written;
}

}  // namespace veltrin
