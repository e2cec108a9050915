// SPDX-License-Identifier: Apache-2.0
#include "hobsel/touch_table.h"

#include <array>

#include "protocol/text.h"

namespace hobsel {

namespace {

constexpr std::string_view kLeadingWhite = " \t\n\r\f";
constexpr std::string_view kSeparators = " \t=,";

// Comments start at "#" or an apostrophe outside double quotes.
std::string_view withoutComment(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (!quoted && (line[i] == '#' || line[i] == '\''))
            return line.substr(0, i);
    }
    return line;
}

// The line as the table sees it: cut to its most characters, without the
// white space around it and without its comment.
std::string_view cleanLine(std::string_view line) {
    line = protocol::cut(line, kMostTouchLine);
    std::size_t start = line.find_first_not_of(kLeadingWhite);
    if (start == std::string_view::npos)
        return {};
    return protocol::trimRight(withoutComment(line.substr(start)));
}

TouchEntry splitEntry(std::string_view line) {
    std::size_t cut = line.find_first_of(kSeparators);
    if (cut == std::string_view::npos)
        return {std::string(line), std::nullopt};
    std::string_view value = line.substr(cut);
    value.remove_prefix(std::min(value.size(), value.find_first_not_of(kSeparators)));
    if (!value.empty() && value.front() == '"') {
        value.remove_prefix(1);
        if (!value.empty() && value.back() == '"')
            value.remove_suffix(1);
    }
    // An empty value is no value: "IMAGE =" names no image.
    if (value.empty())
        return {std::string(line.substr(0, cut)), std::nullopt};
    return {std::string(line.substr(0, cut)), std::string(value)};
}

class TableBuilder {
  public:
    // False when the table has no more room for a state.
    bool openState(std::string_view name) {
        if (table_.states.size() >= kMostTouchStates || !take(name.size() + 1)) {
            table_.complete = false;
            return false;
        }
        table_.states.push_back({std::string(name), {}});
        return true;
    }
    // An entry that does not fit whole is left out.
    void addEntry(TouchEntry entry) {
        std::size_t cost = kTouchEntryCost + entry.name.size() + 1;
        if (entry.value)
            cost += entry.value->size() + 1;
        if (table_.states.empty() || !take(cost))
            return;
        table_.states.back().entries.push_back(std::move(entry));
    }
    TouchTable finish() { return std::move(table_); }

  private:
    bool take(std::size_t bytes) {
        if (bytes > kTouchPoolSize - used_)
            return false;
        used_ += bytes;
        return true;
    }
    TouchTable table_;
    std::size_t used_ = 0;
};

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::optional<bool> booleanOf(const std::optional<std::string>& value) {
    if (!value || value->empty())
        return std::nullopt;
    switch (upper((*value)[0])) {
        case '1':
        case 'T':
        case 'Y':
            return true;
        case '0':
        case 'F':
        case 'N':
            return false;
        case 'O':
            if (value->size() > 1 && upper((*value)[1]) == 'N')
                return true;
            if (value->size() > 1 && upper((*value)[1]) == 'F')
                return false;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace

const TouchState* TouchTable::find(std::string_view name) const {
    for (const TouchState& state : states) {
        if (protocol::equalsIgnoreCase(state.name, name))
            return &state;
    }
    return nullptr;
}

TouchTable parseTouchTable(std::string_view text) {
    TableBuilder builder;
    bool first = true;
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\n\r");
        std::string_view line = cleanLine(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            if (!builder.openState(name))
                break;
        } else {
            // Text before the first header opens a state of its own; the
            // line is at the same time that state's first entry.
            if (first && !builder.openState(line.substr(1)))
                break;
            builder.addEntry(splitEntry(line));
        }
        first = false;
    }
    return builder.finish();
}

bool readBoolean(const std::optional<std::string>& value, bool fallback) {
    return booleanOf(value).value_or(fallback);
}

bool isBooleanValue(const std::optional<std::string>& value) {
    return booleanOf(value).has_value();
}

bool isOperationName(std::string_view name) {
    static constexpr std::array<std::string_view, 7> kOperations{
        "TOUCH", "MSR", "SCAN", "TIMEOUT", "IMAGE", "ROOT_DIR", "EXIT"};
    for (std::string_view op : kOperations) {
        if (protocol::equalsIgnoreCase(name, op))
            return true;
    }
    return false;
}

}  // namespace hobsel
