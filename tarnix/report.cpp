// SPDX-License-Identifier: Apache-2.0
#include "tarnix/report.h"

#include "protocol/mode_listing.h"
#include "protocol/text.h"
#include "tarnix/console.h"

namespace tarnix {

namespace {

using protocol::ModeRecord;
using protocol::ModeTable;

// How a value the unit never reported shows.
constexpr const char* kMissing = "(null)";

const char* shown(const std::optional<std::string>& value) {
    return value ? value->c_str() : kMissing;
}

void modeLine(std::FILE* out, int width, const std::string& name,
              const std::optional<std::string>& value) {
    say(out, "%s", protocol::modeLine(width, name, value).c_str());
}

void currentSection(std::FILE* out, const ModeTable& table, const ReportOptions& options) {
    say(out, "%s", protocol::currentContent(table, options.target).c_str());
}

void iniSection(std::FILE* out, const ModeTable& table, const ReportOptions& options, int width) {
    say(out, "\n\n# ***  %s Content  ***\n\n", options.iniFile.c_str());
    for (const ModeRecord& record : table.records()) {
        if (record.setInIni)
            modeLine(out, width, record.name, record.iniValue);
    }
}

void newSection(std::FILE* out, const ModeTable& table, int width) {
    say(out, "\n\n# ***  New Content  ***\n\n");
    for (const ModeRecord& record : table.records()) {
        modeLine(out, width, record.name, record.newValue);
    }
}

void changesSection(std::FILE* out, const ModeTable& table, int width) {
    say(out, "\n\n# ***  Changes  ***\n\n");
    // The heading's last column carries its own newline, leaving an empty
    // line under it.
    say(out, "%-*s= %s, %s\n", width, "Mode", "NVRam Content", "New Content\n");
    for (const ModeRecord& record : table.records()) {
        if (!record.setInIni || protocol::equalsIgnoreCase(record.name, "DateTime"))
            continue;
        if (!valueChanged(record))
            continue;
        say(out, "%-*s= %s, %s\n", width, record.name.c_str(), shown(record.nvram),
            shown(record.newValue));
    }
}

}  // namespace

bool valueChanged(const ModeRecord& record) {
    if (!record.nvram || !record.newValue)
        return record.nvram.has_value() != record.newValue.has_value();
    return !protocol::equalsIgnoreCase(*record.nvram, *record.newValue);
}

void printReport(std::FILE* out, const ModeTable& table, const ReportOptions& options) {
    int width = protocol::nameColumnWidth(table);
    if (options.verbose > 0 || !options.setFromIni) {
        currentSection(out, table, options);
        if (options.verbose > 0)
            iniSection(out, table, options, width);
        if (!options.setFromIni)
            return;
    }
    newSection(out, table, width);
    if (options.verbose > 0)
        changesSection(out, table, width);
}

}  // namespace tarnix
