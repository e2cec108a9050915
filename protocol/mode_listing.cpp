#include "protocol/mode_listing.h"

namespace protocol {

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
    line += value ? *value : "(null)";
    line += '\n';
    return line;
}

std::string currentContent(const ModeTable& table, std::string_view target) {
    int width = nameColumnWidth(table);
    std::string text = "\n\n# ***  Current Content  ***\n\n";
    text += "TargetIP = ";
    text += target;
    text += '\n';
    for (const ModeRecord& record : table.records())
        text += modeLine(width, record.name, record.nvram);
    return text;
}

}  // namespace protocol
