// SPDX-License-Identifier: Apache-2.0
#include "protocol/mode_ini.h"

#include <array>
#include <cstdio>
#include <memory>

#include "protocol/text.h"

namespace protocol {

namespace {

constexpr std::string_view kTargetEntry = "TargetIP";
constexpr std::string_view kNotSet = "(Not Set)";

// Modes a saved listing must not replay: the clock would go back to the time
// of the listing, Commit and Restart would act in the middle of the run, and
// the product name and build belong to the unit's firmware.
constexpr std::array<std::string_view, 5> kNeverSet = {"DateTime", "Commit", "Restart",
                                                       "ProductName", "buildInfo"};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Calls `visit(name, value)` for every entry of the file's text.
template <typename Visit>
bool forEachEntry(std::string_view text, Visit visit) {
    EntryReader reader(text);
    std::string_view name;
    while (reader.nextName(name)) {
        std::string_view value = reader.value(name == kTargetEntry ? "," : "");
        if (!visit(name, value))
            return false;
    }
    return true;
}

bool isNeverSet(std::string_view name) {
    for (std::string_view skipped : kNeverSet) {
        if (equalsIgnoreCase(name, skipped))
            return true;
    }
    return false;
}

}  // namespace

std::vector<IniEntry> iniEntries(std::string_view text) {
    std::vector<IniEntry> entries;
    int line = 1;
    const char* counted = text.data();
    forEachEntry(text, [&](std::string_view name, std::string_view value) {
        for (; counted < name.data(); ++counted) line += *counted == '\n' ? 1 : 0;
        entries.push_back({name, value, line});
        return true;
    });
    return entries;
}

std::optional<std::string> readIniText(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
    if (!file)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, n);
    std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}

std::optional<std::string> findTargetIp(std::string_view text) {
    std::optional<std::string> target;
    forEachEntry(text, [&](std::string_view name, std::string_view value) {
        if (name != kTargetEntry)
            return true;
        target = std::string(trimRight(value));
        return false;
    });
    return target;
}

std::optional<std::string> applyIniValues(ModeTable& table, std::string_view text) {
    std::optional<std::string> longName;
    forEachEntry(text, [&](std::string_view name, std::string_view value) {
        if (name.size() >= kLongModeName) {
            longName = std::string(name);
            return false;
        }
        int index = table.findMode(name);
        // Compared without trailing blanks, so a padded "(Not Set)" is not
        // sent to the unit as a value.
        std::string_view trimmed = trimRight(value);
        if (index < 0 || equalsIgnoreCase(trimmed, kNotSet))
            return true;
        ModeRecord& record = table[static_cast<std::size_t>(index)];
        record.iniValue = std::string(trimmed);
        record.setInIni = true;
        return true;
    });
    return longName;
}

std::vector<std::size_t> setOrder(const ModeTable& table) {
    std::vector<std::size_t> order;
    std::optional<std::size_t> textReset, serverType;
    for (std::size_t i = 0; i < table.count(); ++i) {
        const ModeRecord& record = table[i];
        if (!record.setInIni || !record.iniValue || isNeverSet(record.name))
            continue;
        if (equalsIgnoreCase(*record.iniValue, kNotSet))
            continue;
        if (equalsIgnoreCase(record.name, "TextReset")) {
            textReset = i;
        } else if (equalsIgnoreCase(record.name, "ServerType")) {
            serverType = i;
        } else {
            order.push_back(i);
        }
    }
    for (const auto& last : {textReset, serverType}) {
        if (last)
            order.push_back(*last);
    }
    return order;
}

SetPlan planSets(const ModeTable& table) {
    SetPlan plan;
    for (std::size_t i : setOrder(table)) {
        const ModeRecord& record = table[i];
        std::string line = record.name + " = " + *record.iniValue;
        if (equalsIgnoreCase(record.name, "TextReset")) {
            plan.textReset = std::move(line);
        } else if (equalsIgnoreCase(record.name, "ServerType")) {
            plan.serverType = std::move(line);
        } else {
            plan.lines.push_back(std::move(line));
        }
    }
    return plan;
}

}  // namespace protocol
