#include "tarnix/ini.h"

#include <array>
#include <cstdio>
#include <memory>

#include "protocol/text.h"

namespace tarnix {

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
    protocol::EntryReader reader(text);
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
        if (protocol::equalsIgnoreCase(name, skipped))
            return true;
    }
    return false;
}

}  // namespace

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
        target = std::string(protocol::trimRight(value));
        return false;
    });
    return target;
}

std::optional<std::string> applyIniValues(protocol::ModeTable& table, std::string_view text) {
    std::optional<std::string> longName;
    forEachEntry(text, [&](std::string_view name, std::string_view value) {
        if (name.size() >= kLongModeName) {
            longName = std::string(name);
            return false;
        }
        int index = table.findMode(name);
        // Compared without trailing blanks, so a padded "(Not Set)" is not
        // sent to the unit as a value.
        std::string_view trimmed = protocol::trimRight(value);
        if (index < 0 || protocol::equalsIgnoreCase(trimmed, kNotSet))
            return true;
        protocol::ModeRecord& record = table[static_cast<std::size_t>(index)];
        record.iniValue = std::string(trimmed);
        record.setInIni = true;
        return true;
    });
    return longName;
}

SetPlan planSets(const protocol::ModeTable& table) {
    SetPlan plan;
    for (const protocol::ModeRecord& record : table.records()) {
        if (!record.setInIni || !record.iniValue || isNeverSet(record.name))
            continue;
        if (protocol::equalsIgnoreCase(*record.iniValue, kNotSet))
            continue;
        std::string line = record.name + " = " + *record.iniValue;
        if (protocol::equalsIgnoreCase(record.name, "TextReset")) {
            plan.textReset = std::move(line);
        } else if (protocol::equalsIgnoreCase(record.name, "ServerType")) {
            plan.serverType = std::move(line);
        } else {
            plan.lines.push_back(std::move(line));
        }
    }
    return plan;
}

}  // namespace tarnix
