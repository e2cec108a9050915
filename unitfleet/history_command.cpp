// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/history_command.h"

#include <cstdlib>

#include "protocol/text.h"
#include "unitfleet/commands.h"
#include "unitfleet/git_store.h"

namespace unitfleet {

namespace {

std::string localStamp(std::time_t time) {
    // history runs on one thread: the shared result of localtime is safe here
    // and the same call on every system.
    const std::tm* parts = std::localtime(&time);
    char text[32];
    if (parts == nullptr)
        return std::to_string(time);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", parts);
    return text;
}

// Values come from units and file names from the folder: both are escaped
// for the terminal.
void printEntry(std::FILE* out, const HistoryEntry& entry) {
    using protocol::escapeControls;
    std::fprintf(out, "%s  %s  %s\n", localStamp(entry.time).c_str(), entry.id.c_str(),
                 escapeControls(entry.summary).c_str());
    for (const UnitHistory& unit : entry.units) {
        std::string name = escapeControls(unit.unit);
        if (unit.added || unit.removed) {
            std::fprintf(out, "    %s: %s\n", name.c_str(),
                         unit.added ? "new listing" : "listing removed");
            continue;
        }
        for (const ModeChange& change : unit.changes)
            std::fprintf(out, "    %s: %s\n", name.c_str(),
                         escapeControls(describeChange(change)).c_str());
    }
}

}  // namespace

std::optional<std::time_t> parseLocalDate(std::string_view text) {
    std::tm parts{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::string copy(text);
    char tail = 0;
    int n = std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour,
                        &minute, &second, &tail);
    bool shapeOk = (n == 3 && text.size() == 10) || (n == 5 && text.size() == 16) ||
                   (n == 6 && text.size() == 19);
    if (!shapeOk || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    std::time_t time = std::mktime(&parts);
    if (time == static_cast<std::time_t>(-1))
        return std::nullopt;
    // mktime rolls a day that the month lacks (2026-02-31) on into the next
    // month: a date that does not come back as written is no date.
    if (parts.tm_year != year - 1900 || parts.tm_mon != month - 1 || parts.tm_mday != day)
        return std::nullopt;
    return time;
}

int runHistory(const HistorySettings& settings, std::FILE* out, std::FILE* err) {
    std::optional<std::time_t> since;
    if (!settings.since.empty()) {
        since = parseLocalDate(settings.since);
        if (!since) {
            std::fprintf(err,
                         "unitfleet: --since takes a date that exists, YYYY-MM-DD [HH:MM[:SS]], "
                         "not '%s'\n",
                         protocol::escapeControls(settings.since).c_str());
            return kExitInputError;
        }
    }
    VolatileModes volatileModes;
    for (const std::string& mode : settings.volatileModes) volatileModes.names.push_back(mode);
    std::string error;
    auto entries = readHistory(settings.dir, settings.unit, since, volatileModes, error);
    if (!entries) {
        std::fprintf(err, "unitfleet: %s\n", error.c_str());
        return kExitInputError;
    }
    for (const HistoryEntry& entry : *entries) printEntry(out, entry);
    if (entries->empty())
        std::fprintf(out, "no changes%s%s\n", settings.unit.empty() ? "" : " of ",
                     settings.unit.c_str());
    std::fflush(out);
    return kExitDone;
}

}  // namespace unitfleet
