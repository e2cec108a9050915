// SPDX-License-Identifier: Apache-2.0
#include "protocol/mode_listing.h"

#include <algorithm>

namespace protocol {

namespace {

constexpr std::string_view kCurrentHeading = "\n\n# ***  Current Content  ***\n\n";
constexpr std::string_view kTargetPrefix = "TargetIP = ";
constexpr std::string_view kNull = "(null)";

}  // namespace

int nameColumnWidth(const ModeTable& table) {
    std::size_t longest = 0;
    for (const ModeRecord& record : table.records()) {
        if (record.name.size() > longest)
            longest = record.name.size();
    }
    return static_cast<int>(longest) + 4;
}

std::string modeLine(int width, std::string_view name, const std::optional<std::string>& value) {
    std::string line(name);
    if (line.size() < static_cast<std::size_t>(width))
        line.append(static_cast<std::size_t>(width) - line.size(), ' ');
    line += "= ";
    line += value ? std::string_view(*value) : kNull;
    line += '\n';
    return line;
}

std::string currentContent(const ModeTable& table, std::string_view target) {
    int width = nameColumnWidth(table);
    std::string text(kCurrentHeading);
    text += kTargetPrefix;
    text += target;
    text += '\n';
    for (const ModeRecord& record : table.records())
        text += modeLine(width, record.name, record.nvram);
    return text;
}

std::size_t currentContentSize(const ModeTable& table, std::string_view target) {
    std::size_t width = static_cast<std::size_t>(nameColumnWidth(table));
    std::size_t size = kCurrentHeading.size() + kTargetPrefix.size() + target.size() + 1;
    for (const ModeRecord& record : table.records()) {
        size += std::max(width, record.name.size()) + 2 +
                (record.nvram ? record.nvram->size() : kNull.size()) + 1;
    }
    return size;
}

}  // namespace protocol
